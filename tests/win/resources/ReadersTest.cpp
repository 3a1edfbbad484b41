// The two readers the language-file checks rely on: if they were lenient, the checks of
// the shipped files would pass on files the programs cannot read.
#include "PropertyListStrings.h"
#include "StringsFileReader.h"

#include <gtest/gtest.h>

TEST(StringsFileReaderTest, ReadsEntriesByTheLanguageTableRules)
{
    const std::string text = "/* a comment */\n"
                             "\"first\" = \"one\";\n"
                             "\"first\" = \"two\";\n"
                             "\"nosemicolon\" = \"x\"\n"
                             "\"mail\" = \"%@ at @home\";\n"
                             "\"quote\" = \"say \\\"hi\\\"\";\n"
                             "\"equals\" = \"a = b\";\n"
                             "\"semi\" = \"a;b\"\n"
                             "\"empty\" = \"\";\n"
                             "\"crlf\" = \"windows\";\r\n"
                             "/* \"commented\" = \"entry\"; */\n"
                             "stray text\n";
    const StringsFileContent content = StringsFileReader::parse(text);

    EXPECT_EQ(content.entries.at("first"), "one");
    EXPECT_EQ(content.duplicateKeys, std::vector<std::string>{"first"});
    EXPECT_EQ(content.entries.count("nosemicolon"), 0u);
    EXPECT_EQ(content.entries.at("mail"), "%s at shome");
    EXPECT_EQ(content.entries.at("quote"), "say \\");
    EXPECT_EQ(content.entries.at("equals"), "a = b");
    EXPECT_EQ(content.entries.at("semi"), "a;b");
    EXPECT_EQ(content.entries.count("empty"), 0u);
    EXPECT_EQ(content.entries.at("crlf"), "windows");
    EXPECT_EQ(content.entries.at("commented"), "entry");
    EXPECT_EQ(content.strayLines, (std::vector<int>{4, 9, 12}));
    EXPECT_EQ(content.lineCount, 12);
}

TEST(StringsFileReaderTest, SkipsOverlongLinesAndReadsOn)
{
    const std::string longest(StringsFileReader::kMaximumLineBytes - 9, 'x');
    const std::string text = "\"a\" = \"" + longest + "\";\n"    // 999 bytes: kept
                             + "\"b\" = \"" + longest + "y\";\n" // 1000 bytes: skipped
                             + "\"c\" = \"after\";";             // no final line end
    ASSERT_EQ(text.find('\n'), StringsFileReader::kMaximumLineBytes);
    const StringsFileContent content = StringsFileReader::parse(text);
    EXPECT_EQ(content.entries.at("a"), longest);
    EXPECT_EQ(content.entries.count("b"), 0u);
    EXPECT_EQ(content.entries.at("c"), "after");
    EXPECT_EQ(content.overlongLines, std::vector<int>{2});
}

TEST(PropertyListStringsTest, ReadsQuotedPlainEscapedAndCommentedForms)
{
    const PropertyListStringsResult result =
        PropertyListStrings::parse("\xEF\xBB\xBF// line comment\n"
                                   "/* block\n comment */ \"a\" = \"x\\ty\\\"z\\U00e9\";\n"
                                   "plain_key = value.1;\n"
                                   "\"alone\";\n"
                                   "\"a\" = \"again\"; \"b\"=\"no spaces\";");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.entries.at("a"), "again");
    EXPECT_EQ(result.duplicateKeys, std::vector<std::string>{"a"});
    EXPECT_EQ(result.entries.at("plain_key"), "value.1");
    EXPECT_EQ(result.entries.at("alone"), "alone");
    EXPECT_EQ(result.entries.at("b"), "no spaces");

    const PropertyListStringsResult escaped =
        PropertyListStrings::parse("\"k\" = \"x\\ty\\\"z\\U00e9\";");
    ASSERT_TRUE(escaped.ok) << escaped.error;
    EXPECT_EQ(escaped.entries.at("k"), "x\ty\"z\xC3\xA9");
}

TEST(PropertyListStringsTest, RejectsWhatAPropertyListReaderRejects)
{
    for (const char *broken : {"\"a\" = \"b\"\n\"c\" = \"d\";", // missing semicolon
                               "\"a\" = \"b;\n",                // unterminated string
                               "\"a\" = b c;",                  // two plain words
                               "\"a\" = \"b\"; /* open",        // unterminated comment
                               "\"a\" = «b»;",                  // typographic quotes unquoted
                               "\"a\" = \"b\\U00g1\";"}) {      // bad escape
        const PropertyListStringsResult result = PropertyListStrings::parse(broken);
        EXPECT_FALSE(result.ok) << broken;
        EXPECT_FALSE(result.error.empty()) << broken;
    }
    const PropertyListStringsResult result =
        PropertyListStrings::parse("\"x\" = \"1\";\n\"y\" = \"2\"\n");
    EXPECT_EQ(result.error, "line 3: expected ';'");
}
