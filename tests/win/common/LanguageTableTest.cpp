#include "win/common/AppServices.h"
#include "win/common/CLanguageTable.h"
#include "win/common/CSettingParams.h"
#include "win/common/LanguageFile.h"
#include "win/common/ShippedFile.h"

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

using varnolet::MessageRecorder;
using varnolet::test::TempFolder;

TEST(LanguageFileTest, EntryRules)
{
    const LanguageEntries entries = ParseLanguageText("\xEF\xBB\xBF\"first\" = \"with bom\";\n"
                                                      "/* \"ui_x\" = \"no semicolon\" */\n"
                                                      "\"dup\" = \"one\";\n"
                                                      "\"dup\" = \"two\";\n"
                                                      "\"nosemi\" = \"skipped\"\n"
                                                      "\"esc\" = \"a\\\"b\";\n"
                                                      "\"place\" = \"Save %@ now\";\n"
                                                      "\"semi\" = \"a;b\"\n"
                                                      "\"empty\" = \"\";\n"
                                                      "\"\" = \"nokey\";\n"
                                                      "\"eq\"=\"x=y\";\r\n"
                                                      "// \"comment\" = \"read\";\n"
                                                      "\"last\" = \"no line end\";");
    const LanguageEntries expected = {
        {"first", "with bom"}, {"dup", "one"}, {"esc", "a\\"},      {"place", "Save %s now"},
        {"semi", "a;b"},       {"eq", "x=y"},  {"comment", "read"}, {"last", "no line end"},
    };
    EXPECT_EQ(entries, expected);
}

TEST(LanguageFileTest, LongLinesAreSkippedAndReadingGoesOn)
{
    const auto lineOf = [](size_t length) {
        std::string line = "\"k" + std::to_string(length) + "\" = \"";
        line += std::string(length - line.size() - 2, 'v');
        return line + "\";";
    };
    const std::string text = lineOf(999) + "\n" + lineOf(1000) + "\r\n" + lineOf(999) + "\r\n" +
                             std::string(100000, 'x') + "\n\"after\" = \"yes\";\n";
    // Fed in small pieces, as a file is read.
    LanguageFileParser parser;
    for (size_t i = 0; i < text.size(); i += 7)
        parser.feed(std::string_view(text).substr(i, 7));
    parser.finish();
    EXPECT_EQ(parser.entries().size(), 2u);
    EXPECT_EQ(parser.entries().count("k999"), 1u);
    EXPECT_EQ(parser.entries().count("k1000"), 0u);
    EXPECT_EQ(parser.entries().at("after"), "yes");
}

TEST(LanguageFileTest, InvalidBytesBecomeReplacementCharacters)
{
    using namespace std::literals;
    const LanguageEntries entries =
        ParseLanguageText("\"k\" = \"a\xFF\xC3\";\n\"n\" = \"x\0y\";"sv);
    EXPECT_EQ(entries.at("k"), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(entries.count("n"), 0u); // the NUL ends the line before its semicolon
}

namespace {

class LanguageTableTest : public ::testing::Test
{
protected:
    void SetUp() override { m_services.Settings().LoadSettingsFrom(m_folder.file("config.ini")); }
    void writeLanguage(const std::string &folder, const std::string &text)
    {
        m_folder.write("Resource/" + folder + "/Localizable.strings", text);
    }
    void chooseLanguage(int index)
    {
        SettingValues v = m_services.Settings().GetUsingSettings();
        v.language = index;
        m_services.Settings().ApplySettings(v);
    }

    TempFolder m_folder;
    AppServices m_services{varnolet::SystemPaths(
        {.documents = m_folder.file("Documents"), .program = m_folder.path() + "/"})};
};

} // namespace

TEST_F(LanguageTableTest, MissingFileShowsOneMessageAndFallsBack)
{
    MessageRecorder recorder;
    chooseLanguage(LanguageGerman);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()), "About");
    EXPECT_EQ(
        m_services.GetLanguageString("ui_view_btn_exit_system", "Exit System", recorder.box()),
        "Exit System");
    ASSERT_EQ(recorder->count(), 1u);
    const varnolet::MessageRequest box = recorder->messages().front();
    EXPECT_EQ(box.text,
              "Fail to open " + m_folder.path() + "/Resource/German.lproj/Localizable.strings");
    EXPECT_EQ(box.caption, "Varnolet");
    EXPECT_EQ(box.icon, varnolet::MessageIcon::Warning);
    EXPECT_EQ(m_services.Languages().LoadedIndex(), LanguageGerman);
}

TEST_F(LanguageTableTest, Utf16FileGivesNoEntriesAndTheEmptyTableMessage)
{
    MessageRecorder recorder;
    const std::string entry = "\"ui_view_btn_about\" = \"Info\";\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : entry) {
        utf16 += c;
        utf16 += '\0';
    }
    writeLanguage("Italian.lproj", utf16);
    chooseLanguage(LanguageItalian);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()), "About");
    EXPECT_EQ(recorder->texts(), std::vector<std::string>{"Faiure to get language string"});
}

TEST_F(LanguageTableTest, ChangingTheLanguageReloadsAtTheNextLookup)
{
    MessageRecorder recorder;
    writeLanguage("French.lproj", "\"ui_view_btn_about\" = \"À propos\";\n");
    writeLanguage("German.lproj", "\"ui_view_btn_about\" = \"Über\";\n");
    chooseLanguage(LanguageFrench);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()),
              "À propos");
    chooseLanguage(LanguageGerman);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()), "Über");
    chooseLanguage(LanguageFrench);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()),
              "À propos");
    // An index outside 0..7 reads the English file.
    writeLanguage("English.lproj", "\"ui_view_btn_about\" = \"About us\";\n");
    chooseLanguage(12);
    EXPECT_EQ(m_services.GetLanguageString("ui_view_btn_about", "About", recorder.box()),
              "About us");
    EXPECT_EQ(recorder->count(), 0u);
}

TEST_F(LanguageTableTest, LookupsStaySafeWhileAnotherThreadReloads)
{
    MessageRecorder recorder;
    writeLanguage("French.lproj", "\"k\" = \"fr\";\n\"other\" = \"autre\";\n");
    writeLanguage("German.lproj", "\"k\" = \"de\";\n");
    chooseLanguage(LanguageFrench);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop) {
            const std::string text = m_services.GetLanguageString("k", "none", recorder.box());
            if (text != "fr" && text != "de")
                ++wrong;
        }
    });
    for (int i = 0; i < 40; ++i)
        chooseLanguage(i % 2 ? LanguageFrench : LanguageGerman);
    stop = true;
    reader.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(recorder->count(), 0u);
}

TEST_F(LanguageTableTest, ShippedFilesAreFoundWithoutRegardToCase)
{
    const std::string real = m_folder.write("Resource/Image/log.bmp", "x");
    EXPECT_EQ(FindShippedFile(m_folder.path() + "/Resource/image/LOG.bmp"), real);
    EXPECT_EQ(FindShippedFile(m_folder.path() + "/Resource/image/none.bmp"),
              m_folder.path() + "/Resource/image/none.bmp");
    writeLanguage("zh_Hant.lproj", "\"k\" = \"v\";\n");
    ::rename(m_folder.file("Resource").c_str(), m_folder.file("resource").c_str());
    EXPECT_EQ(LanguageFilePath(m_services.Paths(), LanguageTraditionalChinese),
              m_folder.path() + "/resource/zh_Hant.lproj/Localizable.strings");
}

TEST(LanguageIndexTest, LocaleNames)
{
    EXPECT_EQ(LanguageIndexOfLocale("zh_TW.UTF-8"), LanguageTraditionalChinese);
    EXPECT_EQ(LanguageIndexOfLocale("zh_HK"), LanguageTraditionalChinese);
    EXPECT_EQ(LanguageIndexOfLocale("zh-Hant"), LanguageTraditionalChinese);
    EXPECT_EQ(LanguageIndexOfLocale("zh_CN.UTF-8"), LanguageSimplifiedChinese);
    EXPECT_EQ(LanguageIndexOfLocale("zh-Hans-SG"), LanguageSimplifiedChinese);
    EXPECT_EQ(LanguageIndexOfLocale("fr_FR.UTF-8"), LanguageFrench);
    EXPECT_EQ(LanguageIndexOfLocale("de_AT@euro"), LanguageGerman);
    EXPECT_EQ(LanguageIndexOfLocale("es"), LanguageSpanish);
    EXPECT_EQ(LanguageIndexOfLocale("it_IT"), LanguageItalian);
    EXPECT_EQ(LanguageIndexOfLocale("ja_JP.eucJP"), LanguageJapanese);
    EXPECT_EQ(LanguageIndexOfLocale("pt_BR.UTF-8"), LanguageEnglish);
    EXPECT_EQ(LanguageIndexOfLocale("C"), LanguageEnglish);
    EXPECT_EQ(LanguageIndexOfLocale(""), LanguageEnglish);
}

TEST(LanguageIndexTest, EnvironmentOrder)
{
    const char *names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char *name : names) {
        if (const char *value = std::getenv(name))
            saved.emplace_back(name, value);
        unsetenv(name);
    }
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(UserDefaultLanguageIndex(), LanguageGerman);
    setenv("LC_MESSAGES", "ja_JP.UTF-8", 1);
    EXPECT_EQ(UserDefaultLanguageIndex(), LanguageJapanese);
    setenv("LC_ALL", "it_IT.UTF-8", 1);
    EXPECT_EQ(UserDefaultLanguageIndex(), LanguageItalian);
    setenv("LANGUAGE", "zh_TW:en", 1);
    EXPECT_EQ(UserDefaultLanguageIndex(), LanguageTraditionalChinese);
    setenv("LANGUAGE", "", 1);
    EXPECT_EQ(UserDefaultLanguageIndex(), LanguageItalian);
    for (const char *name : names)
        unsetenv(name);
    for (const auto &[name, value] : saved)
        setenv(name.c_str(), value.c_str(), 1);
}
