#include "runtime/text.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace tavelin {
namespace {

using std::nullopt;
using std::optional;

// A few code page 936 characters, spelled out as bytes.
const Text kAh = "\xB0\xA1";         // 啊
const Text kWideSpace = "\xA1\xA1";  // the full-width space
const Text kWideA = "\xA3\xC1";      // Ａ
const Text kWideSmallA = "\xA3\xE1"; // ａ

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(TextCompare, OrdersBytesAsUnsignedAndPrefixesFirst) {
    struct Row {
        const char* name;
        Text a, b;
        int sign;
    } rows[] = {
        {"both empty", "", "", 0},
        {"equal", "abc", "abc", 0},
        {"first difference decides", "abd", "abc", 1},
        {"prefix first", "ab", "abc", -1},
        {"empty before anything", "", "a", -1},
        {"capitals before small letters", "A", "a", -1},
        {"lead byte after every ASCII byte", "\x80", "\x7F", 1},
        {"double-byte text after ASCII text", kAh, "zzz", 1},
        {"0xFF is the largest byte", "\xFF", "\xFE\xFF", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sign(text_compare(row.a, row.b)), row.sign);
        EXPECT_EQ(sign(text_compare(row.b, row.a)), -row.sign);
    }
}

TEST(TextMeasure, LengthsAndEquality) {
    EXPECT_EQ(text_len(""), 0);
    EXPECT_EQ(text_len(kAh + "a"), 3);
    EXPECT_EQ(text_len(std::string_view("ab\0c", 4)), 2);
    EXPECT_EQ(bytes_len(std::string_view("ab\0c", 4)), 4);
    EXPECT_EQ(bytes_len(""), 0);
    EXPECT_TRUE(bytes_equal("", ""));
    EXPECT_TRUE(bytes_equal(std::string_view("a\0b", 3), std::string_view("a\0b", 3)));
    EXPECT_FALSE(bytes_equal(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
    EXPECT_FALSE(bytes_equal("a", std::string_view("a\0", 2)));
    EXPECT_EQ(list_len({}), 0);
    EXPECT_EQ(list_len({"a", "", "b"}), 3);
}

TEST(TextBuild, CharsBlanksZerosAndJoins) {
    EXPECT_EQ(char_text(0), "");
    EXPECT_EQ(char_text(0x41), "A");
    EXPECT_EQ(char_text(0x141), "A");
    EXPECT_EQ(char_text(0x100), "");
    EXPECT_EQ(char_text(-1), "\xFF");
    EXPECT_EQ(blank_text(3), "   ");
    EXPECT_EQ(blank_text(0), "");
    EXPECT_EQ(blank_text(-2), "");
    EXPECT_EQ(zero_bytes(2), std::string(2, '\0'));
    EXPECT_EQ(zero_bytes(-1), "");
    EXPECT_EQ(concat_text("a", Text(), kAh, std::string_view("b")), "a" + kAh + "b");
    EXPECT_EQ(concat_bytes(Bytes(), Bytes()), "");
    EXPECT_EQ(concat_bytes(std::string("\0", 1), "x"), std::string("\0x", 2));
    EXPECT_EQ(bit_or(1, 2, 0x20), 0x23);
}

TEST(TextBuild, BytesToTextStopsAtFirstZero) {
    EXPECT_EQ(bytes_to_text(std::string_view("a\0b", 3)), "a");
    EXPECT_EQ(bytes_to_text(std::string_view("\0a", 2)), "");
    EXPECT_EQ(bytes_to_text("ab"), "ab");
    EXPECT_EQ(text_to_bytes(kAh), kAh);
}

TEST(TextToInt, FoldsFullWidthSkipsWhiteSpaceAndWraps) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Row {
        const char* name;
        Text text;
        std::int32_t value;
    } rows[] = {
        {"sign and digits, then letters", " -12ab", -12},
        {"full-width digits", "\xA3\xB8\xA3\xB0\xA3\xB8\xA3\xB0", 8080},            // ８０８０
        {"half and full-width digits mixed", "12\xA3\xB3", 123},                    // 12３
        {"full-width space, minus and digit", kWideSpace + "\xA3\xAD\xA3\xB5", -5}, // 　－５
        {"full-width plus",
         "\xA3\xAB"
         "7",
         7}, // ＋7
        {"every white space byte", "\t\n\v\f\r 42", 42},
        {"plus sign", "+7", 7},
        {"leading zeros", "0007", 7},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"space after the sign", "- 5", 0},
        {"two signs", "--5", 0},
        {"Chinese character first", kAh + "5", 0},
        {"stops at full-width asterisk",
         "3\xA1\xEF"
         "4",
         3}, // 3＊4
        {"largest", "2147483647", kMax},
        {"smallest", "-2147483648", kMin},
        {"one past the largest wraps", "2147483648", kMin},
        {"2^32 + 1 wraps to 1", "4294967297", 1},
        {"negated wrap", "-4294967297", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(text_to_int(row.text), row.value);
    }
}

TEST(TruncateToInt, RoundsTowardZeroAndClamps) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(truncate_to_int(2.9), 2);
    EXPECT_EQ(truncate_to_int(-2.9), -2);
    EXPECT_EQ(truncate_to_int(-0.5), 0);
    EXPECT_EQ(truncate_to_int(2147483647.5), kMax);
    EXPECT_EQ(truncate_to_int(-2147483648.5), kMin);
    EXPECT_EQ(truncate_to_int(1e20), kMax);
    EXPECT_EQ(truncate_to_int(-1e20), kMin);
    EXPECT_EQ(truncate_to_int(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(truncate_to_int(std::nan("")), 0);
}

TEST(TextCut, LeftRightMidCountBytes) {
    EXPECT_EQ(left_text("abc", 0), "");
    EXPECT_EQ(left_text("abc", -1), "");
    EXPECT_EQ(left_text("abc", 2), "ab");
    EXPECT_EQ(left_text("abc", 9), "abc");
    EXPECT_EQ(left_text(kAh, 1), "\xB0");
    EXPECT_EQ(right_text("abc", 0), "");
    EXPECT_EQ(right_text("abc", 2), "bc");
    EXPECT_EQ(right_text("abc", 9), "abc");
    EXPECT_EQ(right_text(kAh, 1), "\xA1");
    EXPECT_EQ(left_bytes(std::string_view("a\0b", 3), 2), std::string("a\0", 2));
    EXPECT_EQ(left_bytes("ab", 0), "");

    struct Row {
        int start, count;
        Text expected;
    } rows[] = {
        {0, 2, ""},  {-1, 2, ""}, {1, 2, "ab"}, {2, 3, "bcd"}, {5, 10, "ef"},
        {6, 1, "f"}, {7, 1, ""},  {2, 0, ""},   {2, -1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "mid_text start " << row.start << " count " << row.count);
        EXPECT_EQ(mid_text("abcdef", row.start, row.count), row.expected);
    }
    EXPECT_EQ(mid_text(kAh + "x", 2, 2), "\xA1x");
}

TEST(FindText, PositionsStartsAndCharacterStepping) {
    struct Row {
        const char* name;
        Text text, sought;
        optional<int> start;
        optional<bool> ignore_case;
        int expected;
    } rows[] = {
        {"first occurrence", "abcabc", "c", nullopt, nullopt, 3},
        {"from a start", "abcabc", "c", 4, nullopt, 6},
        {"start on the occurrence", "abcabc", "c", 6, nullopt, 6},
        {"start beyond the length", "abcabc", "c", 7, nullopt, -1},
        {"start 0 searches from 1", "abc", "a", 0, nullopt, 1},
        {"negative start searches from 1", "abc", "a", -5, nullopt, 1},
        {"not present", "abc", "d", nullopt, nullopt, -1},
        {"sought longer than text", "abc", "abcd", nullopt, nullopt, -1},
        {"empty text", "", "a", nullopt, nullopt, -1},
        {"empty sought gives 1", "abc", "", nullopt, nullopt, 1},
        {"empty sought gives 1 even with start 5", "abcdef", "", 5, nullopt, 1},
        {"empty sought past the end", "abcd", "", 5, nullopt, -1},
        {"empty sought over empty text", "", "", nullopt, nullopt, -1},
        {"trail byte is not a character start", "\xB0\x61", "a", nullopt, nullopt, -1},
        {"start on a trail byte takes it as a start", "\xB0\x61", "a", 2, nullopt, 2},
        {"byte after a double-byte character", "\xB0\x61\x61", "a", nullopt, nullopt, 3},
        {"match across two characters is skipped", kAh + kAh, "\xA1\xB0", nullopt, nullopt, -1},
        {"same bytes aligned from a trail-byte start", kAh + kAh, "\xA1\xB0", 2, nullopt, 2},
        {"double-byte sought", "x" + kAh, kAh, nullopt, nullopt, 2},
        {"lone lead byte ends the scan", "ab\xB0", "\xB0", nullopt, nullopt, -1},
        {"case matters by default", "Hello", "LL", nullopt, nullopt, -1},
        {"case matters when false", "Hello", "LL", nullopt, false, -1},
        {"ignoring case", "Hello", "LL", nullopt, true, 3},
        {"ignoring case folds trail bytes", "\x81\x61", "\x81\x41", nullopt, true, 1},
        {"trail bytes differ by case", "\x81\x61", "\x81\x41", nullopt, false, -1},
        {"full-width letter is not the half-width one", kWideA, "A", nullopt, true, -1},
        {"full-width letters do not fold", kWideSmallA, kWideA, nullopt, true, -1},
        {"only letters fold", "[", "{", nullopt, true, -1},
        {"ignoring case skips trail bytes too", "\xB0\x41", "a", nullopt, true, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(find_text(row.text, row.sought, row.start, row.ignore_case), row.expected);
    }
}

TEST(FindTextLast, LastOccurrenceBeforeTheEnd) {
    struct Row {
        const char* name;
        Text text, sought;
        optional<int> end;
        optional<bool> ignore_case;
        int expected;
    } rows[] = {
        {"whole text", "a:b:c", ":", nullopt, nullopt, 4},
        {"end 4 leaves out the colon at 4", "a:b:c", ":", 4, nullopt, 2},
        {"end 5 keeps the colon at 4", "a:b:c", ":", 5, nullopt, 4},
        {"end 1 leaves nothing", "a:b:c", ":", 1, nullopt, -1},
        {"end 0 leaves nothing", "a:b:c", ":", 0, nullopt, -1},
        {"end beyond the length", "a:b:c", ":", 100, nullopt, 4},
        {"occurrence must end before the end", "abab", "ab", 4, nullopt, 1},
        {"not present", "abc", ":", nullopt, nullopt, -1},
        {"empty sought", "abc", "", nullopt, nullopt, 1},
        {"empty sought with end 1", "abc", "", 1, nullopt, -1},
        {"empty sought over empty text", "", "", nullopt, nullopt, -1},
        {"trail byte is not a character start",
         "\xB0:"
         ":",
         ":", nullopt, nullopt, 3},
        {"only a trail byte matches", "\xB0:", ":", nullopt, nullopt, -1},
        {"ignoring case", "aXbx", "x", nullopt, true, 4},
        {"case matters by default", "axbX", "x", nullopt, nullopt, 2},
        {"lone lead byte ends the scan", "a\xB0", "\xB0", nullopt, nullopt, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(find_text_last(row.text, row.sought, row.end, row.ignore_case), row.expected);
    }
}

TEST(FindBytes, EveryByteOffsetExactly) {
    const Bytes data("a\0b\0", 4);
    const Bytes zero(1, '\0');
    EXPECT_EQ(find_bytes(data, zero), 2);
    EXPECT_EQ(find_bytes(data, zero, 3), 4);
    EXPECT_EQ(find_bytes(data, zero, 5), -1);
    EXPECT_EQ(find_bytes(data, zero, 0), 2);
    EXPECT_EQ(find_bytes(data, zero, -3), 2);
    EXPECT_EQ(find_bytes(data, ""), -1);
    EXPECT_EQ(find_bytes("", ""), -1);
    EXPECT_EQ(find_bytes("ab", "abc"), -1);
    EXPECT_EQ(find_bytes("\xB0\x61", "a"), 2);
    EXPECT_EQ(find_bytes("aA", "a", 2), -1);
}

TEST(ToLower, AsciiCapitalsOutsideDoubleByteCharacters) {
    EXPECT_EQ(to_lower("ABC xyZ 09"), "abc xyz 09");
    EXPECT_EQ(to_lower("\xB0\x41"
                       "A"),
              "\xB0\x41"
              "a");
    EXPECT_EQ(to_lower("@[`{"), "@[`{");
    EXPECT_EQ(to_lower(kWideA), kWideA);
    EXPECT_EQ(to_lower("A\xB0"), "a\xB0");
    EXPECT_EQ(to_lower(""), "");
}

TEST(TrimSpaces, HalfAndFullWidthAtBothEnds) {
    struct Row {
        const char* name;
        Text text, expected;
    } rows[] = {
        {"half-width", "  ab  ", "ab"},
        {"full-width", kWideSpace + " ab " + kWideSpace, "ab"},
        {"inner spaces kept", " a " + kWideSpace + "b ", "a " + kWideSpace + "b"},
        {"tab, CR and LF are not spaces", " \tab\r\n ", "\tab\r\n"},
        {"only spaces", " " + kWideSpace + " ", ""},
        {"empty", "", ""},
        {"lone lead byte dropped, spaces before it kept", "ab \xB0", "ab "},
        {"lone lead byte alone", "\xB0", ""},
        {"leading spaces before a lone lead byte", " \xA1", ""},
        {"trail 0xA1 and a lone 0xA1 are not a space", kAh + "\xA1", kAh},
        {"trail 0xA1 followed by a full-width space", kAh + kWideSpace, kAh},
        {"trailing half of a character is not a space", "x\xB0\x20", "x\xB0\x20"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(trim_spaces(row.text), row.expected);
    }
}

TEST(RemoveSpaces, EverySpaceCharacter) {
    EXPECT_EQ(remove_spaces(" a b" + kWideSpace + "c "), "abc");
    EXPECT_EQ(remove_spaces("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(remove_spaces(kAh + "\xA1\xA1"
                                  "x"),
              kAh + "x");
    EXPECT_EQ(remove_spaces("\xB0\x20"
                            "x"),
              "\xB0\x20"
              "x");
    EXPECT_EQ(remove_spaces("a b\xB0"), "ab");
    EXPECT_EQ(remove_spaces(""), "");
}

TEST(ReplaceText, StartCountCaseAndCharacterStepping) {
    struct Row {
        const char* name;
        Text text, sought;
        optional<std::string_view> replacement;
        optional<int> start, count;
        optional<bool> case_sensitive;
        Text expected;
    } rows[] = {
        {"all by default", "a.b.c", ".", "--", nullopt, nullopt, nullopt, "a--b--c"},
        {"default replacement is empty", "abcb", "b", nullopt, nullopt, nullopt, nullopt, "ac"},
        {"count 0 changes nothing", "aaa", "a", "b", nullopt, 0, nullopt, "aaa"},
        {"count 2", "aaa", "a", "b", nullopt, 2, nullopt, "bba"},
        {"negative count never runs out", "aaa", "a", "b", nullopt, -1, nullopt, "bbb"},
        {"start 3 leaves the first two bytes", "aaaa", "a", "b", 3, nullopt, nullopt, "aabb"},
        {"start 0 starts at 1", "aa", "a", "b", 0, nullopt, nullopt, "bb"},
        {"start beyond the length", "aa", "a", "b", 3, nullopt, nullopt, "aa"},
        {"case ignored when false", "xaby", "AB", "Z", nullopt, nullopt, false, "xZy"},
        {"case ignored by default", "xaby", "AB", "Z", nullopt, nullopt, nullopt, "xZy"},
        {"case kept when true", "xaby", "AB", "Z", nullopt, nullopt, true, "xaby"},
        {"trail bytes fold too", "\x81\x61", "\x81\x41", "x", nullopt, nullopt, nullopt, "x"},
        {"empty text", "", "a", "b", nullopt, nullopt, nullopt, ""},
        {"empty sought", "abc", "", "x", nullopt, nullopt, nullopt, "abc"},
        {"replacement is not scanned again", "aa", "a", "aa", nullopt, nullopt, nullopt, "aaaa"},
        {"trail byte is not replaced", "\xB0\x61\x61", "a", "x", nullopt, nullopt, nullopt,
         "\xB0\x61x"},
        {"start on a trail byte", "\xB0\x61\x61", "a", "x", 2, nullopt, nullopt, "\xB0xx"},
        {"double-byte sought", "a" + kAh + "b", kAh, "-", nullopt, nullopt, nullopt, "a-b"},
        {"tail shorter than sought kept", "abc", "cd", "x", nullopt, nullopt, nullopt, "abc"},
        {"lone lead byte dropped", "ab\xB0", "a", "x", nullopt, nullopt, nullopt, "xb"},
        {"rest kept once the count is used up", "aa\xB0", "a", "x", nullopt, 1, nullopt, "xa\xB0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(replace_text(row.text, row.sought, row.replacement, row.start, row.count,
                               row.case_sensitive),
                  row.expected);
    }
}

TEST(SplitText, InnerEmptyPiecesKeptTrailingOneDropped) {
    struct Row {
        const char* name;
        Text text;
        optional<std::string_view> separator;
        optional<int> limit;
        TextList expected;
    } rows[] = {
        {"inner empty piece", "a,,b", nullopt, nullopt, {"a", "", "b"}},
        {"leading separator, trailing dropped", ",a,", nullopt, nullopt, {"", "a"}},
        {"empty text", "", nullopt, nullopt, {}},
        {"limit 1", "a,b", nullopt, 1, {"a"}},
        {"limit 2 drops the rest", "a|b|c", "|", 2, {"a", "b"}},
        {"limit above the count", "a,b", ",", 5, {"a", "b"}},
        {"limit 0", "a,b", ",", 0, {}},
        {"negative limit", "a,b", ",", -1, {}},
        {"no separator in the text", "abc", nullopt, nullopt, {"abc"}},
        {"only a separator", ",", nullopt, nullopt, {""}},
        {"two separators", ",,", nullopt, nullopt, {"", ""}},
        {"empty separator gives the whole text", "a,b", "", nullopt, {"a,b"}},
        {"longer separator", "a||b||", "||", nullopt, {"a", "b"}},
        {"separator compared exactly", "aXbxc", "x", nullopt, {"aXb", "c"}},
        {"separator as a trail byte is not one", "\xB0,a,b", nullopt, nullopt, {"\xB0,a", "b"}},
        {"lone lead byte ends the last piece", "a,\xB0", nullopt, nullopt, {"a", "\xB0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(split_text(row.text, row.separator, row.limit), row.expected);
    }
}

} // namespace
} // namespace tavelin
