// The reader of VarnoletWin's rules the language-file checks rely on: if it were lenient,
// the checks of the shipped files would pass on files the program cannot read.
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
