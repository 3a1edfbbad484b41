#include <gtest/gtest.h>

#include "mac/core/StringsFile.h"

namespace {

StringsFile::Table parsed(std::string_view text)
{
    const auto table = StringsFile::parse(text);
    EXPECT_TRUE(table.has_value()) << text;
    return table.value_or(StringsFile::Table{});
}

} // namespace

TEST(StringsFileTest, EntriesCommentsAndEscapes)
{
    const auto table = parsed("\xEF\xBB\xBF/* header \"a\" = \"b\"; */\n"
                              "\"ui_a\" = \"Take a Photo\";\n"
                              "// \"ui_commented\" = \"no\";\n"
                              "\"ui_b\"=\"tab\\there \\\"quoted\\\" back\\\\slash\\nnew\";\n"
                              "ui_word = value.with-chars_1;\n"
                              "\"ui_c\" = \"%@ at %d\"; /* trailing */\n"
                              "\"ui_u\" = \"\\U00e9\\U20AC\\UD83D\\UDE00\";\n"
                              "\"ui_octal\" = \"\\101\\102\";\n"
                              "'ui_single' = 'it\\'s \"x\"';\n"
                              "\"ui_semi\" = \"a;b=c\";\n"
                              "\"ui_a\" = \"later wins\";\n"
                              "\"ui_short\";\n");
    EXPECT_EQ(table.at("ui_a"), "later wins");
    EXPECT_EQ(table.count("ui_commented"), 0u);
    EXPECT_EQ(table.at("ui_b"), "tab\there \"quoted\" back\\slash\nnew");
    EXPECT_EQ(table.at("ui_word"), "value.with-chars_1");
    EXPECT_EQ(table.at("ui_c"), "%@ at %d"); // no "@" replacement
    EXPECT_EQ(table.at("ui_u"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(table.at("ui_octal"), "AB");
    EXPECT_EQ(table.at("ui_semi"), "a;b=c");
    EXPECT_EQ(table.at("ui_short"), "ui_short");
    EXPECT_EQ(table.at("ui_single"), "it's \"x\"");
}

TEST(StringsFileTest, SyntaxErrorsMakeTheWholeFileUnreadable)
{
    for (std::string_view bad : {
             std::string_view("\"a\" = \"b\""),           // no semicolon
             std::string_view("\"a\" = \"unterminated;"), // open quote
             std::string_view("\"a\" \"b\";"),            // no equals sign
             std::string_view("/* open comment \"a\" = \"b\";"),
             std::string_view("\"a\" = \"b\"; }"),
             std::string_view("'ui_single' = 'it''s';"),
             std::string_view("\"a\" = \"b\\"),
             std::string_view("= \"b\";"),
         })
        EXPECT_FALSE(StringsFile::parse(bad).has_value()) << bad;
}

TEST(StringsFileTest, BracesNestedValuesAndEmptyFiles)
{
    const auto table =
        parsed("{ \"a\" = \"1\"; \"arr\" = (x, \"y\", {k = v;},); \"d\" = <0fA1>; b = 2; }");
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at("a"), "1");
    EXPECT_EQ(table.at("b"), "2");
    EXPECT_TRUE(parsed("").empty());
    EXPECT_TRUE(parsed("  // only a comment\n/* and another */").empty());
    EXPECT_FALSE(StringsFile::parse(std::string(200, '(')).has_value()); // no runaway nesting
    std::string deep = "a = ";
    for (int i = 0; i < 100; ++i)
        deep += "{b = ";
    EXPECT_FALSE(StringsFile::parse(deep).has_value());
}

TEST(StringsFileTest, Utf16AndXmlForms)
{
    const std::string utf8 = "\"k\" = \"\xE6\x97\xA5\";";
    std::string utf16le = "\xFF\xFE";
    for (char c : std::string("\"k\" = \""))
        utf16le += std::string{c, '\0'};
    utf16le += std::string("\xE5\x65", 2); // U+65E5
    for (char c : std::string("\";"))
        utf16le += std::string{c, '\0'};
    EXPECT_EQ(parsed(utf16le).at("k"), "\xE6\x97\xA5");
    EXPECT_EQ(parsed(utf8).at("k"), "\xE6\x97\xA5");

    const auto xml = parsed("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                            "<string>v</string><key>n</key><integer>3</integer></dict></plist>");
    EXPECT_EQ(xml.size(), 1u);
    EXPECT_EQ(xml.at("k"), "v");
    EXPECT_FALSE(StringsFile::parse("<?xml version=\"1.0\"?><plist><array/></plist>").has_value());

    // A text value holding a NUL character (found by fuzzing) is read, not fatal.
    const std::string nul("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                          "<string>a\0b</string></dict></plist>",
                          sizeof("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                                 "<string>a\0b</string></dict></plist>") -
                              1);
    const auto withNul = StringsFile::parse(nul);
    ASSERT_TRUE(withNul.has_value());
    EXPECT_EQ(withNul->at("k").substr(0, 1), "a");
}
