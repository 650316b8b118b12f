#include "speech/SpeechText.h"

#include <gtest/gtest.h>

using namespace kestrova::services::speech;

TEST(SpeechText, QueryValueFindsTheKeyNotAPrefixOfIt)
{
    const std::string_view query = "dir=zh&textx=1&ID=201308&text=%61%62&vc=VW%20Lily";
    EXPECT_EQ(queryValue(query, "text"), "%61%62");
    EXPECT_EQ(queryValue(query, "vc"), "VW%20Lily");
    EXPECT_EQ(queryValue("a=1&text", "text"), "");
    EXPECT_EQ(queryValue("a=1&text=", "text"), "");
    EXPECT_FALSE(queryValue("a=1&b=2", "text").has_value());
    EXPECT_FALSE(queryValue("", "text").has_value());
}

TEST(SpeechText, DecodesClientEncodingAndRefusesBadBytes)
{
    struct Case
    {
        std::string_view raw;
        std::string_view utf8; // expected text when accepted
        bool accepted;
    };
    const Case cases[] = {
        {"%61%62%63", "abc", true},
        {"%E4%BD%A0%E5%A5%BD", "你好", true},
        {"%23%23%23", "###", true},
        {"a+b", "a b", true},
        {"%0D%0A%00x", "   x", true}, // control bytes become blanks: a zero must not end the text early
        {"", "", true},
        {"%4", "", false},  // cut-off escape
        {"%G1", "", false}, // not hex
        {"abc%", "", false},
        {"%E4%BD", "", false},       // truncated sequence
        {"%FF", "", false},          // never valid in UTF-8
        {"%C0%AF", "", false},       // overlong "/"
        {"%ED%A0%80", "", false},    // surrogate half
        {"%F4%90%80%80", "", false}, // above U+10FFFF
    };
    for (const auto& c : cases) {
        const auto decoded = decodeSpeechText(c.raw);
        EXPECT_EQ(decoded.error.empty(), c.accepted) << c.raw;
        EXPECT_EQ(decoded.utf8, c.utf8) << c.raw;
    }
}

TEST(SpeechText, CountsCodePoints)
{
    EXPECT_EQ(countCharacters(""), 0u);
    EXPECT_EQ(countCharacters("ab"), 2u);
    EXPECT_EQ(countCharacters("你好#1"), 4u);
}

TEST(SpeechText, SplitsAtRunsOfHash)
{
    struct Case
    {
        std::string_view text;
        std::vector<SpeechPiece> pieces;
    };
    const Case cases[] = {
        {"", {}},
        {"你好", {{"你好", 0}}},
        {"恭喜你 回答正确###请继续下一题", {{"恭喜你 回答正确", 3}, {"请继续下一题", 0}}},
        {"A#B##", {{"A", 1}, {"B", 2}}},
        {"##开始", {{"", 2}, {"开始", 0}}},
        {"###", {{"", 3}}},
    };
    for (const auto& c : cases) {
        const auto pieces = splitAtPauses(c.text);
        ASSERT_EQ(pieces.size(), c.pieces.size()) << c.text;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].text, c.pieces[i].text) << c.text;
            EXPECT_EQ(pieces[i].pauseMarks, c.pieces[i].pauseMarks) << c.text;
        }
    }
}
