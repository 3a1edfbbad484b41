#include "win/common/IniFile.h"

#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

using varnolet::test::readFile;
using varnolet::test::TempFolder;

TEST(IniFileTest, NamesMatchWithoutCaseAndFirstWins)
{
    const IniFile ini = IniFile::fromBytes("[OEM]\nCompanyName = Acme \nversion=1\n"
                                           "companyname=Second\n[oem]\nversion=2\n");
    EXPECT_EQ(ini.getString("oem", "companyname", "x"), "Acme");
    EXPECT_EQ(ini.getString("Oem", "VERSION", "x"), "1");
    EXPECT_EQ(ini.getString("oem", "missing", "fallback"), "fallback");
    EXPECT_EQ(ini.getString("none", "version", "fallback"), "fallback");
    // The Mac spelling of a key names the same key here.
    const IniFile limits = IniFile::fromBytes("[timedshotssetting]\nminshots_perDay_taking=4\n");
    EXPECT_EQ(limits.getInt("timedshotssetting", "minshots_perday_taking", 1), 4);
}

TEST(IniFileTest, ValuesAreCutAt259CharactersAndUnquoted)
{
    std::string longValue;
    for (int i = 0; i < 300; ++i)
        longValue += "é"; // two bytes each: the cut counts characters, not bytes
    const IniFile ini = IniFile::fromBytes("[s]\nlong=" + longValue + "\nq=\" spaced \"\n");
    const std::string value = ini.getString("s", "long", "");
    EXPECT_EQ(value.size(), 259u * 2);
    EXPECT_EQ(ini.getString("s", "q", ""), " spaced ");
}

TEST(IniFileTest, IntegersReadAsSignedDecimals)
{
    const IniFile ini = IniFile::fromBytes(
        "[s]\na=-1\nb= 42abc\nc=abc\nd=\ne=99999999999\nf=-99999999999\n; g=5\n");
    EXPECT_EQ(ini.getInt("s", "a", 7), -1);
    EXPECT_EQ(ini.getInt("s", "b", 7), 42);
    EXPECT_EQ(ini.getInt("s", "c", 7), 0);
    EXPECT_EQ(ini.getInt("s", "d", 7), 7); // empty value: the default
    EXPECT_EQ(ini.getInt("s", "e", 7), INT32_MAX);
    EXPECT_EQ(ini.getInt("s", "f", 7), INT32_MIN);
    EXPECT_EQ(ini.getInt("s", "g", 7), 7); // a comment is no key
}

TEST(IniFileTest, WriteKeepsEveryOtherLine)
{
    const std::string original = "; factory file\n[oem]\nversion=3.1.00\n\n"
                                 "[usingsetting]\n# chosen by the user\nLanguage = 2\n"
                                 "moviesizemax=16\n\n[defaultsetting]\nlanguage=-1\n";
    IniFile ini = IniFile::fromBytes(original);
    ini.setInt("usingsetting", "language", 5);
    ini.setString("usingsetting", "resourcespath", "/data/photos");
    ini.setInt("newsection", "x", -1);
    EXPECT_EQ(ini.toBytes(), "; factory file\n[oem]\nversion=3.1.00\n\n"
                             "[usingsetting]\n# chosen by the user\nLanguage = 5\n"
                             "moviesizemax=16\nresourcespath=/data/photos\n\n"
                             "[defaultsetting]\nlanguage=-1\n[newsection]\nx=-1\n");
}

TEST(IniFileTest, LineEndsAndMissingFinalLineEndSurviveAWrite)
{
    IniFile ini = IniFile::fromBytes("[a]\r\nk=1\r\n[b]\r\nm=2");
    ini.setInt("a", "k", 3);
    ini.setInt("b", "n", 4);
    EXPECT_EQ(ini.toBytes(), "[a]\r\nk=3\r\n[b]\r\nm=2\r\nn=4\r\n");
    // A line break in a value cannot split the file.
    ini.setString("a", "k", "one\ntwo");
    EXPECT_EQ(IniFile::fromBytes(ini.toBytes()).getString("a", "k", ""), "one two");
}

TEST(IniFileTest, Utf16AndBomFilesAreWrittenBackInTheirEncoding)
{
    // "[s]\nname=Français\n" as UTF-16 LE with a byte-order mark.
    const std::string utf16 =
        std::string("\xFF\xFE", 2) +
        std::string("[\0s\0]\0\n\0n\0a\0m\0e\0=\0F\0r\0a\0n\0\xE7\0a\0i\0s\0\n\0", 36);
    IniFile ini = IniFile::fromBytes(utf16);
    EXPECT_EQ(ini.encoding(), IniFile::Encoding::Utf16LE);
    EXPECT_EQ(ini.getString("s", "name", ""), "Français");
    ini.setString("s", "other", "日本");
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    EXPECT_EQ(again.encoding(), IniFile::Encoding::Utf16LE);
    EXPECT_EQ(again.getString("s", "name", ""), "Français");
    EXPECT_EQ(again.getString("s", "other", ""), "日本");

    IniFile bom = IniFile::fromBytes("\xEF\xBB\xBF[s]\nk=v\n");
    EXPECT_EQ(bom.getString("s", "k", ""), "v");
    bom.setString("s", "k", "w");
    EXPECT_EQ(bom.toBytes(), "\xEF\xBB\xBF[s]\nk=w\n");
}

TEST(IniFileTest, BytesInAnotherEncodingAreKeptOnWrite)
{
    // A Latin-1 comment must come back byte for byte; its value reads as valid UTF-8.
    IniFile ini = IniFile::fromBytes("; caf\xE9\n[s]\nk=\xE9t\xE9\n");
    EXPECT_EQ(ini.getString("s", "k", ""), "\xEF\xBF\xBDt\xEF\xBF\xBD");
    ini.setInt("s", "n", 1);
    EXPECT_EQ(ini.toBytes(), "; caf\xE9\n[s]\nk=\xE9t\xE9\nn=1\n");
}

TEST(IniFileTest, SaveReplacesTheFileAndKeepsItsMode)
{
    TempFolder folder;
    const std::string path = folder.write("config.ini", "[s]\nk=1\n");
    ::chmod(path.c_str(), 0600);
    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    ini.setInt("s", "k", 2);
    ASSERT_TRUE(ini.save(path));
    EXPECT_EQ(readFile(path), "[s]\nk=2\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    IniFile missing;
    EXPECT_FALSE(missing.load(folder.file("nothing.ini")));
    EXPECT_FALSE(ini.save(folder.file("no/such/folder/config.ini")));
}

TEST(IniFileTest, PathsKeepTheirBytes)
{
    struct Case
    {
        const char *stored;
        std::string path;
    };
    std::string longPath = "/";
    for (int i = 0; i < 300; ++i)
        longPath += '\xE9';
    const Case cases[] = {
        {"/home/u/caf\xE9", "/home/u/caf\xE9"},             // Latin-1, no UTF-8
        {"\"/home/u/caf\xC3\xA9\"", "/home/u/caf\xC3\xA9"}, // UTF-8, quoted
        {"  /a b  ", "/a b"},
    };
    for (const Case &c : cases) {
        const IniFile ini = IniFile::fromBytes(std::string("[s]\np=") + c.stored + "\n");
        EXPECT_EQ(ini.getPath("s", "p", "x"), c.path) << c.stored;
    }
    const IniFile ini = IniFile::fromBytes("[s]\nlong=" + longPath + "\n");
    EXPECT_EQ(ini.getPath("s", "long", "x"), longPath.substr(0, 259)) << "259 characters";
    EXPECT_EQ(ini.getPath("s", "missing", "fallback"), "fallback");
}
