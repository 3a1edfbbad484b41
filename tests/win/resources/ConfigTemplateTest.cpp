// The config.ini template: every section and key the settings store reads, with factory
// values inside the ranges the settings dialog and the timed shots accept.
#include "ShippedData.h"

#include <map>
#include <optional>

#include <gtest/gtest.h>

#include <QString>
#include <QStringDecoder>

namespace {

// Sections and keys by their lower-case names, as private-profile lookups match them.
struct IniFile
{
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::vector<std::string> problems;
};

std::string lower(const std::string &text)
{
    return QString::fromStdString(text).toLower().toStdString();
}

std::string trimmed(const std::string &text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

IniFile parseIni(const std::string &bytes)
{
    IniFile ini;
    std::string section;
    int number = 0;
    std::size_t position = 0;
    while (position < bytes.size()) {
        std::size_t end = bytes.find('\n', position);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = trimmed(bytes.substr(position, end - position));
        position = end + 1;
        ++number;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.empty())
            continue;
        if (line.front() == ';') {
            // A reader that takes every line with "=" for a key would read this one.
            if (line.find('=') != std::string::npos)
                ini.problems.push_back(where + "comment with '='");
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                ini.problems.push_back(where + "bad section header");
                continue;
            }
            section = lower(line.substr(1, line.size() - 2));
            if (ini.sections.count(section))
                ini.problems.push_back(where + "section again: " + section);
            ini.sections[section];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || section.empty()) {
            ini.problems.push_back(where + "neither section, key nor comment");
            continue;
        }
        const std::string key = lower(trimmed(line.substr(0, equals)));
        const std::string value = trimmed(line.substr(equals + 1));
        if (!ini.sections[section].emplace(key, value).second)
            ini.problems.push_back(where + "key again: " + key);
        // Values are read into a 260-character buffer.
        if (QString::fromStdString(value).size() > 259)
            ini.problems.push_back(where + "value longer than 259 characters");
    }
    return ini;
}

// An integer exactly as "%d" writes it.
std::optional<int> integer(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (...) {
        return std::nullopt;
    }
    if (used != text.size() || std::to_string(value) != text)
        return std::nullopt;
    return value;
}

class ConfigTemplateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bytes = ShippedData::readBytes(ShippedData::sourceFolder() + "/config.ini");
        ASSERT_FALSE(m_bytes.empty());
        m_ini = parseIni(m_bytes);
    }

    std::optional<std::string> text(const std::string &section, const std::string &key) const
    {
        const auto s = m_ini.sections.find(section);
        if (s == m_ini.sections.end())
            return std::nullopt;
        const auto k = s->second.find(lower(key));
        if (k == s->second.end())
            return std::nullopt;
        return k->second;
    }

    // The integer under the key; a test failure when it is missing or not a "%d" integer.
    int number(const std::string &section, const std::string &key) const
    {
        const std::optional<std::string> value = text(section, key);
        EXPECT_TRUE(value.has_value()) << "[" << section << "] " << key << " missing";
        const std::optional<int> parsed = value ? integer(*value) : std::nullopt;
        EXPECT_TRUE(parsed.has_value())
            << "[" << section << "] " << key << " = " << value.value_or("");
        return parsed.value_or(-999999);
    }

    std::string m_bytes;
    IniFile m_ini;
};

constexpr const char *kUnitWords[3] = {"minute", "hour", "Day"};

TEST_F(ConfigTemplateTest, IsPlainUtf8WithFourSectionsAndNoStrayLines)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder(QByteArray::fromStdString(m_bytes));
    EXPECT_FALSE(decoder.hasError());
    EXPECT_NE(m_bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "byte-order mark";
    EXPECT_EQ(m_bytes.find('\r'), std::string::npos);
    for (const std::string &problem : m_ini.problems)
        ADD_FAILURE() << problem;
    for (const char *section : {"oem", "timedshotssetting", "defaultsetting", "usingsetting"})
        EXPECT_TRUE(m_ini.sections.count(section)) << section;
    EXPECT_EQ(m_ini.sections.size(), 4u);
}

TEST_F(ConfigTemplateTest, OemNamesTheProduct)
{
    EXPECT_EQ(text("oem", "companyname"), "Hollenby Industries Ltd");
    EXPECT_EQ(text("oem", "producename"), "Varnolet");
    EXPECT_EQ(text("oem", "version"), "3.1.00");
    const std::string website = text("oem", "companywebsite").value_or("");
    EXPECT_TRUE(website.rfind("https://", 0) == 0 || website.rfind("http://", 0) == 0) << website;
    const std::string copyright = text("oem", "copyright").value_or("");
    EXPECT_NE(copyright.find("Hollenby Industries Ltd"), std::string::npos) << copyright;
}

TEST_F(ConfigTemplateTest, TimedShotLimitsHoldTheirDefaults)
{
    EXPECT_EQ(m_ini.sections["timedshotssetting"].size(), 20u) << "two units and 18 range keys";
    for (const char *unitKey : {"shots_unittype", "times_unittype"}) {
        const int unit = number("timedshotssetting", unitKey);
        EXPECT_TRUE(unit >= 0 && unit <= 2) << unitKey;
    }
    for (const char *word : kUnitWords) {
        for (const std::string kind : {"shots_per", "times_"}) {
            const std::string suffix = kind + word + "_taking";
            const int minimum = number("timedshotssetting", "min" + suffix);
            const int maximum = number("timedshotssetting", "max" + suffix);
            const int initial = number("timedshotssetting", "default" + suffix);
            EXPECT_GE(minimum, 1) << suffix;
            EXPECT_LE(minimum, initial) << suffix;
            EXPECT_LE(initial, maximum) << suffix;
        }
    }
}

TEST_F(ConfigTemplateTest, UserSettingsLieInsideTheirRanges)
{
    for (const char *section : {"defaultsetting", "usingsetting"}) {
        SCOPED_TRACE(section);
        EXPECT_EQ(text(section, "resourcespath"), "default");
        const int folders = number(section, "autocreatingfolder");
        EXPECT_TRUE(folders == 0 || folders == 1);
        const int movie = number(section, "movieresolution");
        EXPECT_TRUE(movie == 0 || movie == 1);
        const int size = number(section, "moviesizemax");
        EXPECT_GE(size, 16);
        EXPECT_LE(size, 4096);
        const int language = number(section, "language");
        EXPECT_EQ(language, -1) << "the first start follows the system language";
    }

    // The chosen units (3 would mean "absent") and values, inside the selected ranges.
    const int shotsUnit = number("usingsetting", "timetype_takingshots_pretime");
    const int timesUnit = number("usingsetting", "timetype_times_taking");
    ASSERT_TRUE(shotsUnit >= 0 && shotsUnit <= 2);
    ASSERT_TRUE(timesUnit >= 0 && timesUnit <= 2);
    const std::string shotsSuffix = std::string("shots_per") + kUnitWords[shotsUnit] + "_taking";
    const std::string timesSuffix = std::string("times_") + kUnitWords[timesUnit] + "_taking";
    const int shots = number("usingsetting", "shots_pertime");
    const int times = number("usingsetting", "times_takingtimedshots");
    EXPECT_GE(shots, number("timedshotssetting", "min" + shotsSuffix));
    EXPECT_LE(shots, number("timedshotssetting", "max" + shotsSuffix));
    EXPECT_GE(times, number("timedshotssetting", "min" + timesSuffix));
    EXPECT_LE(times, number("timedshotssetting", "max" + timesSuffix));
}

TEST_F(ConfigTemplateTest, FactoryAndUserSettingsAgree)
{
    // The first start shows the factory settings; Default in the settings dialog then
    // changes nothing.
    for (const char *key :
         {"resourcespath", "autocreatingfolder", "movieresolution", "moviesizemax", "language"})
        EXPECT_EQ(text("defaultsetting", key), text("usingsetting", key)) << key;
}

TEST(IniReaderTest, ReportsWhatTheTemplateMustNotHold)
{
    const IniFile ini = parseIni("[a]\nk=1\nK=2\n; note = x\nloose\n[A]\n");
    ASSERT_EQ(ini.problems.size(), 4u);
    EXPECT_NE(ini.problems[0].find("key again: k"), std::string::npos);
    EXPECT_NE(ini.problems[1].find("comment with '='"), std::string::npos);
    EXPECT_NE(ini.problems[2].find("neither"), std::string::npos);
    EXPECT_NE(ini.problems[3].find("section again: a"), std::string::npos);
    EXPECT_FALSE(integer("+7").has_value());
    EXPECT_FALSE(integer("07").has_value());
    EXPECT_FALSE(integer("7 ").has_value());
    EXPECT_EQ(integer("-1"), -1);
}

} // namespace
