// The eight shipped language files: complete, readable by both programs, placeholders
// intact, and really translated.
#include "ShippedData.h"
#include "ShippedTexts.h"
#include "StringsFileReader.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <QStringDecoder>

#include "mac/core/StringsFile.h"

namespace {

std::string languageFilePath(std::size_t index)
{
    return ShippedData::sourceFolder() + "/Resource/" +
           std::string(kWindowsLanguageFolders[index]) + "/Localizable.strings";
}

// The printf conversions of a text ("%s", "%d", ...), "%@" read as "%s" as VarnoletWin
// reads it; "%%" is no conversion.
std::vector<std::string> placeholders(std::string_view text)
{
    std::vector<std::string> found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        std::size_t j = i + 1;
        while (j < text.size() &&
               std::string_view("-+ #0123456789.lh").find(text[j]) != std::string_view::npos)
            ++j;
        if (j >= text.size()) {
            found.push_back("%");
            break;
        }
        if (text[j] == '%' && j == i + 1) {
            i = j;
            continue;
        }
        std::string conversion(text.substr(i, j - i + 1));
        if (conversion.back() == '@')
            conversion.back() = 's';
        found.push_back(conversion);
        i = j;
    }
    return found;
}

// A text a translator cannot have left as it is: two words or more in English.
bool isTranslatableText(std::string_view english)
{
    int words = 0;
    int letters = 0;
    for (char c : std::string(english) + " ") {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            ++letters;
        } else {
            words += letters >= 2;
            letters = 0;
        }
    }
    return words >= 2;
}

bool containsCjk(const std::string &utf8)
{
    for (const char32_t c : QString::fromStdString(utf8).toUcs4()) {
        if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF) ||
            (c >= 0xFF00 && c <= 0xFFEF))
            return true;
    }
    return false;
}

struct LoadedFile
{
    std::string bytes;
    StringsFileContent content;
};

const LoadedFile &loaded(std::size_t index)
{
    static std::map<std::size_t, LoadedFile> files;
    auto found = files.find(index);
    if (found == files.end()) {
        LoadedFile file;
        file.bytes = ShippedData::readBytes(languageFilePath(index));
        file.content = StringsFileReader::parse(file.bytes);
        found = files.emplace(index, std::move(file)).first;
    }
    return found->second;
}

class LanguageFileTest : public ::testing::TestWithParam<std::size_t>
{
protected:
    const LoadedFile &file() const { return loaded(GetParam()); }
    const LoadedFile &english() const { return loaded(0); }
};

TEST_P(LanguageFileTest, IsCleanUtf8WithShortLinesAndNothingStray)
{
    const LoadedFile &f = file();
    ASSERT_FALSE(f.bytes.empty()) << languageFilePath(GetParam());

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(QByteArray::fromStdString(f.bytes));
    EXPECT_FALSE(decoder.hasError()) << "not valid UTF-8";
    EXPECT_NE(f.bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "byte-order mark";
    EXPECT_EQ(f.bytes.find('\r'), std::string::npos) << "carriage return";
    EXPECT_EQ(f.bytes.find('\t'), std::string::npos) << "tab";
    EXPECT_EQ(f.bytes.find('\\'), std::string::npos)
        << "backslash: escapes read differently by the two programs";
    EXPECT_EQ(f.bytes.back(), '\n');

    EXPECT_TRUE(f.content.overlongLines.empty());
    EXPECT_TRUE(f.content.strayLines.empty())
        << "first stray line " << f.content.strayLines.front();
    EXPECT_TRUE(f.content.duplicateKeys.empty()) << f.content.duplicateKeys.front();
}

TEST_P(LanguageFileTest, HoldsEveryKeyAndNoOther)
{
    std::set<std::string> known;
    for (const BuiltInText &text : kBuiltInTexts) {
        known.insert(std::string(text.key));
        const auto found = file().content.entries.find(std::string(text.key));
        EXPECT_TRUE(found != file().content.entries.end() && !found->second.empty()) << text.key;
    }
    for (const auto &[key, value] : file().content.entries)
        EXPECT_TRUE(known.count(key)) << "unknown key " << key;
    EXPECT_EQ(file().content.entries.size(), kBuiltInTexts.size());
}

TEST_P(LanguageFileTest, ReadsTheSameAsAPropertyList)
{
    // VarnoletMac's own reader; a key given twice is reported by the check of the entries.
    const std::optional<StringsFile::Table> plist = StringsFile::parse(file().bytes);
    ASSERT_TRUE(plist.has_value()) << "not readable by VarnoletMac";
    ASSERT_EQ(plist->size(), file().content.entries.size());
    for (const auto &[key, value] : *plist) {
        const auto windows = file().content.entries.find(key);
        ASSERT_NE(windows, file().content.entries.end()) << key;
        std::string asWindowsReadsIt = value;
        std::replace(asWindowsReadsIt.begin(), asWindowsReadsIt.end(), '@', 's');
        EXPECT_EQ(asWindowsReadsIt, windows->second) << key;
    }
}

TEST_P(LanguageFileTest, KeepsThePlaceholdersOfTheBuiltInTexts)
{
    const std::optional<StringsFile::Table> plist = StringsFile::parse(file().bytes);
    ASSERT_TRUE(plist.has_value()) << "not readable by VarnoletMac";
    for (const BuiltInText &text : kBuiltInTexts) {
        const std::string key(text.key);
        if (!plist->count(key))
            continue; // reported by HoldsEveryKeyAndNoOther
        const std::string &value = plist->at(key);
        EXPECT_EQ(placeholders(value), placeholders(text.builtIn)) << key << " = " << value;
        if (GetParam() != 0) {
            EXPECT_EQ(placeholders(value), placeholders(english().content.entries.at(key))) << key;
        }
        // VarnoletMac formats the values as they stand: text arguments need "%@". Any
        // other "@" would turn into an "s" in VarnoletWin.
        EXPECT_EQ(value.find("%s"), std::string::npos) << key;
        for (std::size_t at = value.find('@'); at != std::string::npos;
             at = value.find('@', at + 1))
            EXPECT_TRUE(at > 0 && value[at - 1] == '%') << key << " has a bare @";
    }
}

TEST_P(LanguageFileTest, LanguageNamesAreDistinct)
{
    std::set<std::string> names;
    for (const BuiltInText &text : kBuiltInTexts) {
        if (text.key.substr(0, 10) == "ui_comobo_")
            names.insert(file().content.entries.at(std::string(text.key)));
    }
    // The Mac settings panel finds the chosen language by its name in this list.
    EXPECT_EQ(names.size(), 8u);
}

using TranslationTest = LanguageFileTest;

TEST_P(TranslationTest, IsTranslatedNotCopied)
{
    const bool cjk = GetParam() >= 5;
    int checked = 0;
    for (const BuiltInText &text : kBuiltInTexts) {
        const std::string key(text.key);
        const std::string &englishValue = english().content.entries.at(key);
        if (!isTranslatableText(englishValue) || key.substr(0, 10) == "ui_comobo_")
            continue;
        ++checked;
        const std::string &value = file().content.entries.at(key);
        EXPECT_NE(value, englishValue) << key;
        if (cjk) {
            EXPECT_TRUE(containsCjk(value)) << key << " = " << value;
        }
    }
    EXPECT_GE(checked, 30);
}

std::string languageName(const ::testing::TestParamInfo<std::size_t> &info)
{
    std::string name(kWindowsLanguageFolders[info.param]);
    name = name.substr(0, name.find('.'));
    name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFileTest, ::testing::Range<std::size_t>(0, 8),
                         languageName);
INSTANTIATE_TEST_SUITE_P(Translations, TranslationTest, ::testing::Range<std::size_t>(1, 8),
                         languageName);

TEST(LanguageFilesTest, EnglishHoldsEnglishNotTheChineseBuiltIns)
{
    for (const auto &[key, value] : loaded(0).content.entries) {
        if (key.substr(0, 10) != "ui_comobo_") {
            EXPECT_FALSE(containsCjk(value)) << key << " = " << value;
        }
    }
}

TEST(LanguageFilesTest, ChineseScriptsDiffer)
{
    int differing = 0;
    int compared = 0;
    for (const BuiltInText &text : kBuiltInTexts) {
        const std::string key(text.key);
        if (!isTranslatableText(loaded(0).content.entries.at(key)) ||
            key.substr(0, 10) == "ui_comobo_")
            continue;
        ++compared;
        differing += loaded(6).content.entries.at(key) != loaded(7).content.entries.at(key);
    }
    // A few short phrases are written alike in both scripts; most are not.
    EXPECT_GE(differing * 10, compared * 8) << differing << " of " << compared;
}

TEST(LanguageFilesTest, EachMacFolderNameFindsExactlyOneFolder)
{
    for (std::size_t i = 0; i < kMacLanguageFolders.size(); ++i) {
        const std::vector<std::string> found = ShippedData::findIgnoringCase(
            ShippedData::sourceFolder() + "/Resource",
            std::string(kMacLanguageFolders[i]) + "/Localizable.strings");
        ASSERT_EQ(found.size(), 1u) << kMacLanguageFolders[i];
        EXPECT_EQ(found.front(), languageFilePath(i));
    }
}

} // namespace
