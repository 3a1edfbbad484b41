#include "win/common/ConfigFileRepair.h"

#include "tests/support/TestSupport.h"
#include "win/common/CSettingParams.h"

#include <filesystem>

#include <gtest/gtest.h>

using varnolet::test::fileExists;
using varnolet::test::readFile;
using varnolet::test::TempFolder;

namespace {

const std::string kTemplate =
    "; factory configuration\n"
    "[oem]\nversion=3.1.00\n"
    "[timedshotssetting]\nshots_unittype=1\ndefaultshots_perhour_taking=60\n"
    "[defaultsetting]\nresourcespath=default\nmoviesizemax=1024\n"
    "movieresolution=0\nlanguage=-1\n"
    "[usingsetting]\nresourcespath=default\nmoviesizemax=1024\n";

std::string utf16le(const std::string &ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

struct Input
{
    const char *name;
    std::string bytes;
    bool damaged;
};

std::vector<Input> inputs()
{
    const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\x01\x02", 20);
    return {
        // What a crash, a full disk or another program leaves.
        {"empty", "", true},
        {"zero blocks of a power loss", std::string(4096, '\0'), true},
        {"zero blocks after a good start", kTemplate.substr(0, 40) + std::string(512, '\0'), true},
        {"binary data", binary, true},
        {"cut before the settings", kTemplate.substr(0, kTemplate.find("[defaultsetting]")), true},
        {"cut inside a key", kTemplate.substr(0, kTemplate.rfind("moviesizemax") + 6), true},
        {"text that is no configuration", "Dear diary,\ntoday the microscope\n", true},
        {"UTF-16 holding zero characters", utf16le("[usingsetting]\n") + std::string(4, '\0'),
         true},
        // What a person writes by hand, read as it stands.
        {"the template", kTemplate, false},
        {"no [usingsetting]", kTemplate.substr(0, kTemplate.find("[usingsetting]")), false},
        {"a key missing", "[usingsetting]\nresourcespath=/data\n", false},
        {"last key without a line end", "[usingsetting]\nmoviesizemax=64", false},
        {"last line a header without a line end", "[oem]\n[usingsetting]", false},
        {"last line a comment without a line end", "[defaultsetting]\nlanguage=2\n; end", false},
        {"Windows line ends and a byte-order mark", "\xEF\xBB\xBF[usingsetting]\r\nlanguage=3\r\n",
         false},
        {"UTF-16 with a byte-order mark", utf16le("[usingsetting]\r\nlanguage=3\r\n"), false},
        {"a path in another code page", "[usingsetting]\nresourcespath=/home/Jos\xe9\n", false},
        {"a stray line between keys", "[usingsetting]\nlanguage=1\noops\nmoviesizemax=64\n", false},
    };
}

} // namespace

TEST(ConfigFileRepairTest, DamageIsTheMarkOfACrashNotOfAHandEdit)
{
    for (const Input &input : inputs())
        EXPECT_EQ(!ConfigDamage(input.bytes).empty(), input.damaged) << input.name;
}

TEST(ConfigFileRepairTest, DamagedFilesAreKeptAndReplacedByTheFactorySettings)
{
    TempFolder folder;
    const std::string templatePath = folder.write("program/config.ini", kTemplate);
    const std::string user = folder.file("user/config.ini");
    for (const Input &input : inputs()) {
        SCOPED_TRACE(input.name);
        std::filesystem::remove_all(folder.file("user"));
        folder.write("user/config.ini", input.bytes);
        const std::string kept = RebuildDamagedConfig(user, templatePath);
        if (!input.damaged) {
            EXPECT_TRUE(kept.empty());
            EXPECT_EQ(readFile(user), input.bytes);
            EXPECT_FALSE(fileExists(user + ".bad"));
            continue;
        }
        EXPECT_EQ(kept, user + ".bad");
        EXPECT_EQ(readFile(kept), input.bytes);
        CSettingParams store(varnolet::SystemPaths({.documents = folder.file("Documents")}));
        store.LoadSettingsFrom(user);
        const SettingValues using_ = store.GetUsingSettings();
        EXPECT_EQ(using_.movieSizeMax, 1024);
        EXPECT_EQ(using_.movieResolution, 0);
        EXPECT_EQ(using_.timedShot.shotsUnit, 1);
        EXPECT_TRUE(ConfigDamage(readFile(user)).empty());
    }
}

TEST(ConfigFileRepairTest, AnEarlierDamagedCopyIsNeverReplaced)
{
    TempFolder folder;
    const std::string templatePath = folder.write("config.ini.template", kTemplate);
    const std::string user = folder.file("config.ini");
    folder.write("config.ini", "");
    EXPECT_EQ(RebuildDamagedConfig(user, templatePath), user + ".bad");
    folder.write("config.ini", "garbage");
    EXPECT_EQ(RebuildDamagedConfig(user, templatePath), user + ".bad.2");
    EXPECT_EQ(readFile(user + ".bad"), "");
    EXPECT_EQ(readFile(user + ".bad.2"), "garbage");

    // A damaged template cannot help: the user's file is read as it stands.
    folder.write("config.ini", "garbage");
    folder.write("config.ini.template", std::string(100, '\0'));
    EXPECT_TRUE(RebuildDamagedConfig(user, templatePath).empty());
    EXPECT_EQ(readFile(user), "garbage");
    EXPECT_FALSE(fileExists(user + ".bad.3"));
}
