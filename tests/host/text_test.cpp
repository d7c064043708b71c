// The host's rules of text: UTF-8, places in a text, and texts shown in messages. (The trimming
// of the JSON library's messages is checked where the files are read.)
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"

namespace vhost {
namespace {

TEST(Utf8, EveryScalarValueRoundTripsAndIllFormedBytesDecodeToNothing) {
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        std::string text;
        AppendUtf8(text, code);
        const Utf8Character decoded = DecodeUtf8(text);
        const auto number = static_cast<std::uint32_t>(code);
        ASSERT_EQ(static_cast<std::uint32_t>(decoded.code), number);
        ASSERT_EQ(decoded.length, text.size()) << number;
        ASSERT_EQ(CharacterCount(text), 1U) << number;
    }
    // Each with the number of characters an editor shows for it: one replacement character for
    // each stretch of bytes that begins a character and breaks off, one for each other byte.
    const std::vector<std::pair<std::string_view, std::size_t>> illFormed{
        {"\xC0\xAF", 2},                  // overlong '/'
        {"\xE0\x80\xAF", 3},              // overlong '/'
        {"\xF0\x80\x80\xAF", 4},          // overlong '/'
        {"\xED\xA0\x80", 3},              // a surrogate
        {"\xF4\x90\x80\x80", 4},          // above U+10FFFF
        {"\xF5\x80\x80\x80", 4},          // no lead byte
        {"\x80", 1},                      // a lone continuation byte
        {"\xE2\x82", 1},                  // the euro sign cut short
        {"\xF0\x9F\x99", 1},              // an emoji cut short
        {"\xE2\x82x", 2},                 // cut short by an ASCII character
        {"\xF0\x9F\x99\xE2\x82\xAC", 2},  // cut short by a whole euro sign
    };
    for (const auto& [bytes, characters] : illFormed) {
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        EXPECT_EQ(DecodeUtf8(bytes).length, 0U);
        EXPECT_FALSE(IsValidUtf8(std::string("ok ") + std::string(bytes)));
        EXPECT_EQ(CharacterCount(bytes), characters);
    }
    // A cut never splits a character.
    EXPECT_EQ(FirstCharacters("Grüße aus Köln", 4), "Grüß");
    EXPECT_EQ(FirstCharacters("\xE2\x82\xAC\xE2\x82", 1), "\xE2\x82\xAC");
}

// Columns count characters; the counter a lexer uses agrees with PositionAt at every character.
TEST(TextPosition, ColumnsCountCharactersTheSameWayForMessagesAndLexers) {
    const std::string text =
        "\xEF\xBB\xBF{\r\n\t\"Grüße\": \"\xE2\x82x\",\n  \"🙂\": 1 }\n\nend";
    const auto at = [&](std::string_view what) { return PositionAt(text, text.find(what)); };
    EXPECT_EQ(PositionAt(text, 3).column, 1U);  // after the byte order mark
    EXPECT_EQ(at("\r").column, 2U);
    EXPECT_EQ(at("ß").line, 2U);
    EXPECT_EQ(at("ß").column, 6U);   // tab, quote, G, r, ü
    EXPECT_EQ(at("x").column, 13U);  // the cut-short euro sign is one
    EXPECT_EQ(at("1").column, 8U);   // the emoji is one
    EXPECT_EQ(at("end").line, 5U);
    EXPECT_EQ(PositionAt(text, text.size() + 10).column, 4U);
    EXPECT_EQ(PlaceText("a.json", at("x")), "a.json:2:13");

    ColumnCounter counter(text);
    for (std::size_t i = 3; i < text.size(); i += CharacterStep(std::string_view(text).substr(i))) {
        ASSERT_EQ(counter.ColumnAt(i), PositionAt(text, i).column) << "offset " << i;
        if (text[i] == '\n') counter.StartLine(i + 1);
    }
    // Asking again for an earlier place counts it afresh.
    counter.StartLine(text.find("end"));
    EXPECT_EQ(counter.ColumnAt(text.size()), 4U);
    EXPECT_EQ(counter.ColumnAt(text.find("end") + 1), 2U);
}

TEST(Quoting, MessagesShowTextsPrintablyAndWordsAsAScriptWritesThem) {
    EXPECT_EQ(Quoted("say \"hi\"\\\n\t\r\b\f\x01 Köln \xFF\xE2\x82"),
              R"("say \"hi\"\\\n\t\r\b\f\u0001 Köln \xFF\xE2\x82")");
    EXPECT_EQ(Quoted(""), "\"\"");
    EXPECT_EQ(Printable("a\xC0\xAF\xE2\x82\xAC"), "a\\xC0\\xAF\xE2\x82\xAC");

    const std::vector<std::pair<std::string_view, std::string_view>> words{
        {"plain", "plain"},    {"Köln", "Köln"},
        {"a#b", "a#b"},        {"", R"("")"},
        {"#x", R"("#x")"},     {"a b", R"("a b")"},
        {"a\rb", "\"a\rb\""},  {"a\"b", R"("a\"b")"},
        {"a\\b", R"("a\\b")"}, {"a\nb\tc", R"("a\nb\tc")"},
    };
    for (const auto& [word, written] : words) EXPECT_EQ(QuoteWord(word), written);
}

}  // namespace
}  // namespace vhost
