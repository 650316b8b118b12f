#include "net/TextOps.h"

#include <gtest/gtest.h>

using namespace kestrova::net;

namespace {

// "科目一" in GBK.
const std::string kKemuYi = "\xBF\xC6\xC4\xBF\xD2\xBB";
// Two-byte character 0x81 0x41 followed by 'B': the bytes "AB" appear, but 'A' is a trail byte.
const std::string kStraddle = "\x81\x41"
                              "B";

struct FindCase
{
    const char* name;
    std::string text;
    std::string needle;
    int start;
    bool ignoreCase;
    int expected;
};

void PrintTo(const FindCase& c, std::ostream* out)
{
    *out << c.name;
}

class FindTextTest : public testing::TestWithParam<FindCase>
{
};

TEST_P(FindTextTest, FindsAtCharacterBoundariesOnly)
{
    const FindCase& c = GetParam();
    EXPECT_EQ(findText(c.text, c.needle, c.start, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextTest,
    testing::Values(FindCase{"plain", "hello world", "world", 1, false, 7},
                    FindCase{"startBelowOneMeansOne", "abcabc", "abc", -5, false, 1},
                    FindCase{"fromStart", "abcabc", "abc", 2, false, 4},
                    FindCase{"caseMatters", "Hello", "hello", 1, false, -1},
                    FindCase{"ignoreCase", "Set-Cookie: a", "set-cookie", 1, true, 1},
                    FindCase{"missing", "abc", "x", 1, false, -1},
                    FindCase{"trailByteNotAStart", kStraddle, "AB", 1, false, -1},
                    FindCase{"trailByteNotAStartIgnoringCase", kStraddle, "ab", 1, true, -1},
                    FindCase{"twoByteNeedle", "x" + kKemuYi, "\xC4\xBF", 1, false, 4},
                    // A GBK trail byte in the letter range is compared exactly, never case-folded.
                    FindCase{"trailByteNotFolded", "\x81\x61", "\x81\x41", 1, true, -1},
                    FindCase{"emptyNeedle", "abc", "", 1, false, 1},
                    FindCase{"emptyNeedleEmptyText", "", "", 1, false, -1},
                    FindCase{"startPastEnd", "abc", "c", 9, false, -1}),
    [](const testing::TestParamInfo<FindCase>& info) { return info.param.name; });

struct BetweenCase
{
    const char* name;
    std::string text;
    std::string left;
    std::string right;
    std::string expected;
};

void PrintTo(const BetweenCase& c, std::ostream* out)
{
    *out << c.name;
}

class TextBetweenTest : public testing::TestWithParam<BetweenCase>
{
};

TEST_P(TextBetweenTest, CutsAfterTheFirstLeftMarker)
{
    const BetweenCase& c = GetParam();
    EXPECT_EQ(textBetween(c.text, c.left, c.right), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    testing::Values(
        BetweenCase{"simple", "<b>v</b>", "<b>", "</b>", "v"},
        BetweenCase{"firstLeftCounts", "[1] [2]", "[", "]", "1"},
        BetweenCase{"rightOnlyBeforeLeft", "] x [ y", "[", "]", ""},
        BetweenCase{"adjacentMarkers", "a[]b", "[", "]", ""},
        BetweenCase{"leftMissing", "abc]", "[", "]", ""}, BetweenCase{"emptyRight", "[abc]", "[", "", ""},
        BetweenCase{"markersWithSpacesAndLineEnds", "x<td> a b \r\n</td>", "<td>", "\r\n</td>", " a b "},
        BetweenCase{"leftStraddlingIsNotFound", kStraddle + "Bv]", "AB", "]", ""},
        BetweenCase{"chineseMarkers", "\xA1\xBE" + kKemuYi + "\xA1\xBF", "\xA1\xBE", "\xA1\xBF", kKemuYi}),
    [](const testing::TestParamInfo<BetweenCase>& info) { return info.param.name; });

struct SplitCase
{
    const char* name;
    std::string text;
    std::string separator;
    std::vector<std::string> expected;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << c.name;
}

class SplitTextTest : public testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitTextTest, Splits)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(splitText(c.text, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTextTest,
    testing::Values(SplitCase{"trailingSeparatorGivesNoEmptyPiece", "a,b,", ",", {"a", "b"}},
                    SplitCase{"leadingSeparatorGivesEmptyPiece", ",a", ",", {"", "a"}},
                    SplitCase{"emptyText", "", ",", {}},
                    SplitCase{"adjacentSeparators", "a,,b", ",", {"a", "", "b"}},
                    SplitCase{"noSeparator", "abc", ",", {"abc"}},
                    SplitCase{"emptySeparator", "abc", "", {"abc"}},
                    SplitCase{"quotes", "x\"1\"y\"", "\"", {"x", "1", "y"}},
                    SplitCase{"trailByteIsNoSeparator",
                              "\x81\x2C"
                              ",z",
                              ",",
                              {"\x81\x2C", "z"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(BytesToText, StopsAtTheFirstZeroByte)
{
    EXPECT_EQ(bytesToText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(bytesToText("abc"), "abc");
    EXPECT_EQ(bytesToText(std::string("\0x", 2)), "");
}

TEST(PercentEncode, WritesEveryByteInUpperCaseHex)
{
    EXPECT_EQ(percentEncode("ab"), "%61%62");
    EXPECT_EQ(percentEncode("\t"), "%09");
    EXPECT_EQ(percentEncode(std::string("\0", 1)), "%00");
    EXPECT_EQ(percentEncode(kKemuYi), "%BF%C6%C4%BF%D2%BB");
    EXPECT_EQ(percentEncode(""), "");
}

TEST(ConvertEncoding, ConvertsBetweenTheNamedEncodings)
{
    EXPECT_EQ(convertEncoding("科目一", "UTF-8", "GBK"), kKemuYi);
    EXPECT_EQ(convertEncoding("科目一", "UTF-8", "GB18030"), kKemuYi);
    EXPECT_EQ(convertEncoding(kKemuYi, "GB2312", "UTF-8"), "科目一");
    EXPECT_EQ(convertEncoding("abc", "UTF-8", "GBK"), "abc");
}

TEST(ConvertEncoding, InvalidInputOrUnknownNameGivesEmpty)
{
    EXPECT_EQ(convertEncoding("ab\xFF\xFE", "UTF-8", "GBK"), "");
    EXPECT_EQ(convertEncoding("ab\xE7", "UTF-8", "GBK"), ""); // truncated sequence
    EXPECT_EQ(convertEncoding("abc", "NO-SUCH-CODE", "GBK"), "");
    // A GBK character outside GB2312 is not valid GB2312.
    EXPECT_EQ(convertEncoding("\x81\x40", "GB2312", "UTF-8"), "");
    EXPECT_EQ(convertEncodingLenient("a\xFF"
                                     "b",
                                     "UTF-8", "GBK"),
              "a?b");
}

TEST(GbkLiteral, ConvertsOnceAndMatchesToGbk)
{
    const std::string* first = nullptr;
    for (int i = 0; i < 2; ++i) {
        const std::string& literal = GBK("科目一");
        EXPECT_EQ(literal, kKemuYi);
        if (first) {
            EXPECT_EQ(first, &literal);
        }
        first = &literal;
    }
    EXPECT_EQ(fromGbk(kKemuYi), "科目一");
}

} // namespace
