#include "regex/regex_object.h"
#include "runtime/codepage.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tavelin {
namespace {

const char kQuestionPattern[] = "</span>(.*?)?<a href=";

TEST(RegexObject, EmptyObjectAnswersWithEmptyValues) {
    const RegexObject regex;
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.match_text(1), "");
    EXPECT_EQ(regex.submatch_text(1, 1), "");
    EXPECT_EQ(regex.pattern_text(), "");
    EXPECT_EQ(regex.replace_matches("x"), "");
    int position = 7;
    EXPECT_EQ(regex.match_text(1, &position), "");
    EXPECT_EQ(position, -2);
}

TEST(RegexObject, NoMatchIsSuccessWithCountZero) {
    RegexObject regex;
    EXPECT_TRUE(regex.execute("(x)", "abc"));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.match_text(1), "");
    EXPECT_EQ(regex.submatch_text(1, 1), "");
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.replace_matches("y"), "abc");
}

TEST(RegexObject, NumbersOutOfRangeGiveEmptyText) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(\\d)(x)?", "a1 b2"));
    ASSERT_EQ(regex.match_count(), 2);
    ASSERT_EQ(regex.submatch_count(), 2);
    struct Row {
        int n;
        int k;
    } rows[] = {{0, 1}, {-1, 1}, {3, 1}, {1, 0}, {1, -1}, {1, 3}, {2, 2}, {INT32_MIN, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.n) + "," + std::to_string(row.k));
        int position = 7;
        EXPECT_EQ(regex.submatch_text(row.n, row.k, &position), "");
        EXPECT_EQ(position, -2);
    }
    for (int n : {0, -1, 3, INT32_MAX}) {
        SCOPED_TRACE(n);
        int position = 7;
        EXPECT_EQ(regex.match_text(n, &position), "");
        EXPECT_EQ(position, -2);
    }
    EXPECT_EQ(regex.match_text(2), "2");
    EXPECT_EQ(regex.submatch_text(2, 1), "2");
}

TEST(RegexObject, OptionsDefaultToCaseBlindMultiLineGlobal) {
    const Text subject = "Ab\nab\nAB";
    struct Row {
        const char* name;
        const char* pattern;
        std::optional<bool> case_sensitive, multiline, global;
        int count;
    } rows[] = {
        {"all absent", "^ab$", std::nullopt, std::nullopt, std::nullopt, 3},
        {"case sensitive", "^ab$", true, std::nullopt, std::nullopt, 1},
        {"case sensitive false", "^ab$", false, std::nullopt, std::nullopt, 3},
        {"single line", "^ab", std::nullopt, false, std::nullopt, 1},
        {"single line end", "ab$", std::nullopt, false, std::nullopt, 1},
        {"first match only", "ab", std::nullopt, std::nullopt, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegexObject regex;
        ASSERT_TRUE(
            regex.execute(row.pattern, subject, row.case_sensitive, row.multiline, row.global));
        EXPECT_EQ(regex.match_count(), row.count);
    }
    RegexObject regex;
    ASSERT_TRUE(regex.execute("ab", subject, std::nullopt, std::nullopt, false));
    EXPECT_EQ(regex.replace_matches("-"), "-\nab\nAB");
    ASSERT_TRUE(regex.execute("ab", subject));
    EXPECT_EQ(regex.replace_matches("-"), "-\n-\n-");
}

TEST(RegexObject, QuotePlaceholderExpandsOnlyWhenAsked) {
    const Text placeholder = cp936("#引号");
    const Text pattern = "a" + placeholder + "b";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(pattern, "xa\"b", std::nullopt, std::nullopt, std::nullopt, true));
    EXPECT_EQ(regex.pattern_text(), "a\"b");
    EXPECT_EQ(regex.match_text(1), "a\"b");

    ASSERT_TRUE(regex.execute(pattern, "xa\"b"));
    EXPECT_EQ(regex.pattern_text(), pattern);
    EXPECT_EQ(regex.match_count(), 0);

    ASSERT_TRUE(regex.execute(pattern + "c" + placeholder, "a\"bc\"", std::nullopt, std::nullopt,
                              std::nullopt, true));
    EXPECT_EQ(regex.pattern_text(), "a\"bc\"");
    EXPECT_EQ(regex.match_count(), 1);

    ASSERT_TRUE(regex.execute(placeholder, "x", std::nullopt, std::nullopt, std::nullopt, false));
    EXPECT_EQ(regex.pattern_text(), placeholder);
}

TEST(RegexObject, SecondExecuteForgetsTheFirst) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(a)(b)", "ab ab ab"));
    ASSERT_EQ(regex.match_count(), 3);
    ASSERT_TRUE(regex.execute("x", "yxy", true));
    EXPECT_EQ(regex.match_count(), 1);
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.match_text(2), "");
    EXPECT_EQ(regex.submatch_text(1, 1), "");
    EXPECT_EQ(regex.pattern_text(), "x");
    EXPECT_EQ(regex.replace_matches("-"), "y-y");
}

TEST(RegexObject, RejectedPatternFailsButKeepsPatternAndSubject) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a", "abc"));
    EXPECT_FALSE(regex.execute("(a", "abc"));
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.match_text(1), "");
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.pattern_text(), "(a");
    EXPECT_EQ(regex.replace_matches("x"), "");
    for (const char* pattern : {"[", "a**", "(?<n>a)\\k<m>", "\\"}) {
        SCOPED_TRACE(pattern);
        EXPECT_FALSE(regex.execute(pattern, "a"));
    }
}

TEST(RegexObject, PathologicalPatternFailsInsteadOfHanging) {
    RegexObject regex;
    EXPECT_FALSE(regex.execute("^(a+)+$", std::string(60, 'a') + "!"));
    EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObject, ReplaceExpandsDollarForms) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("(\\w+)@(\\w+)", "mail bob@site now"));
    struct Row {
        std::optional<std::string_view> replacement;
        const char* result;
    } rows[] = {
        {"$2 at $1", "mail site at bob now"},
        {"[$&]", "mail [bob@site] now"},
        {"$`|", "mail mail | now"},
        {"|$'", "mail | now now"},
        {"$$1 $3 $0", "mail $1 $3 $0 now"},
        {std::nullopt, "mail  now"},
        {"", "mail  now"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.result);
        EXPECT_EQ(regex.replace_matches(row.replacement), row.result);
    }
    ASSERT_TRUE(regex.execute(cp936("题"), cp936("题一题二")));
    EXPECT_EQ(regex.replace_matches(cp936("[$&]")), cp936("[题]一[题]二"));
}

TEST(RegexObject, CopySharesResultsAndOutlivesChangesToOriginal) {
    RegexObject original;
    ASSERT_TRUE(original.execute("(b)", "abcb"));
    const RegexObject copied = original.copy();
    RegexObject assigned;
    assigned = original;
    ASSERT_TRUE(original.execute("z", "zz"));
    for (const RegexObject* regex : {&copied, static_cast<const RegexObject*>(&assigned)}) {
        EXPECT_EQ(regex->match_count(), 2);
        EXPECT_EQ(regex->submatch_text(2, 1), "b");
        EXPECT_EQ(regex->pattern_text(), "(b)");
        EXPECT_EQ(regex->replace_matches("-"), "a-c-");
    }
    EXPECT_EQ(original.match_count(), 2);
    EXPECT_EQ(original.replace_matches("-"), "--");
}

// An exam page as the site writes it: each question between a closing span and a link.
TEST(RegexObject, QuestionPatternTakesTextBetweenSpanAndLink) {
    const Text page =
        cp936("<html><body>\n"
              "<p><span>1.</span>以下哪种行为违规？<a href=\"/q/1\">查看</a></p>\n"
              "<P><SPAN>2.</SPAN>商品描述&ldquo;包邮&rdquo;是否必须？<A HREF=\"/q/2\">查看</A>\n"
              "<p><span>3.</span>换行的题目\n<a href=\"/q/3\">查看</a></p>\n"
              "<p><span>4.</span><a href=\"/q/4\">空题</a></p>\n"
              "<p><span>5.</span> 两端空格 <a href=\"/q/5\"></p>\n"
              "</body></html>");
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kQuestionPattern, page));
    ASSERT_EQ(regex.match_count(), 4);
    EXPECT_EQ(regex.submatch_count(), 1);
    EXPECT_EQ(regex.submatch_text(1, 1), cp936("以下哪种行为违规？"));
    EXPECT_EQ(regex.submatch_text(2, 1), cp936("商品描述&ldquo;包邮&rdquo;是否必须？"));
    // The question broken over two lines is not a match; the empty one is, with empty text.
    EXPECT_EQ(regex.submatch_text(3, 1), "");
    EXPECT_EQ(regex.match_text(3), "</span><a href=");
    EXPECT_EQ(regex.submatch_text(4, 1), cp936(" 两端空格 "));
    EXPECT_EQ(regex.submatch_text(5, 1), "");
}

TEST(RegexObject, QuestionPatternTakesShortestTextOnOneLine) {
    const Text page =
        cp936("</span>甲<a href=1></span>乙</span>丙<a href=2>\r\n</span>丁<a href=3>");
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kQuestionPattern, page));
    ASSERT_EQ(regex.match_count(), 3);
    EXPECT_EQ(regex.submatch_text(1, 1), cp936("甲"));
    EXPECT_EQ(regex.submatch_text(2, 1), cp936("乙</span>丙"));
    EXPECT_EQ(regex.submatch_text(3, 1), cp936("丁"));
}

TEST(RegexObject, PositionsCountBytesOverChineseText) {
    // Three bytes-per-unit mismatches before the second match: 题 目 ： are two bytes each.
    const Text subject = cp936("题目：abc，abc");
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a(b)c", subject));
    ASSERT_EQ(regex.match_count(), 2);
    struct Row {
        int n;
        int match_position;
        int submatch_position;
    } rows[] = {{1, 6, 7}, {2, 11, 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.n);
        int position = 0;
        EXPECT_EQ(regex.match_text(row.n, &position), "abc");
        EXPECT_EQ(position, row.match_position);
        EXPECT_EQ(subject.substr(static_cast<std::size_t>(position), 3), "abc");
        EXPECT_EQ(regex.submatch_text(row.n, 1, &position), "b");
        EXPECT_EQ(position, row.submatch_position);
    }
}

TEST(RegexObject, PositionsPointAtTheMatchItselfNotAnEarlierCopy) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute("a", "aaa"));
    for (int n = 1; n <= 3; ++n) {
        int position = -1;
        EXPECT_EQ(regex.match_text(n, &position), "a");
        EXPECT_EQ(position, n - 1);
    }
    const Text subject = cp936("中文Abcabc");
    ASSERT_TRUE(regex.execute("(abc)", subject, true));
    ASSERT_EQ(regex.match_count(), 1);
    int position = -1;
    EXPECT_EQ(regex.submatch_text(1, 1, &position), "abc");
    EXPECT_EQ(position, 7);
    ASSERT_TRUE(regex.execute("a(a)", "aa"));
    EXPECT_EQ(regex.submatch_text(1, 1, &position), "a");
    EXPECT_EQ(position, 1);
}

TEST(RegexObject, PositionOfEmptyOrAbsentSubmatch) {
    RegexObject regex;
    ASSERT_TRUE(regex.execute(cp936("题(x*)(y)?"), cp936("中题")));
    int position = 0;
    EXPECT_EQ(regex.submatch_text(1, 1, &position), "");
    EXPECT_EQ(position, 4); // empty, right after 题
    EXPECT_EQ(regex.submatch_text(1, 2, &position), "");
    EXPECT_EQ(position, -2); // took no part
}

TEST(RegexObject, BytesOutsideTheCodePageStillGiveAPositionOrMinusTwo) {
    // 0x81 0x20 is no character of code page 936: the lead byte reaches the engine as U+FFFD and
    // comes back as '?', which is not in the subject.
    const Text subject = "\x81"
                         " abc";
    RegexObject regex;
    ASSERT_TRUE(regex.execute("b", subject));
    int position = 0;
    EXPECT_EQ(regex.match_text(1, &position), "b");
    EXPECT_EQ(position, 3);
    ASSERT_TRUE(regex.execute(".\\sa", subject));
    EXPECT_EQ(regex.match_text(1, &position), "? a");
    EXPECT_EQ(position, -2);
}

TEST(RegexObject, SubjectReachesTheEngineAsTheCodePageConverterGivesIt) {
    // Fixed cases around the edges of double-byte characters, then random bytes.
    std::vector<std::string> subjects = {
        "abc",
        cp936("中文 abc 题目"),
        "\x81\x0A"
        "a",
        "\x81\x7F"
        "a",
        "\xFF"
        "a",
        "\x80"
        "a",
        "a\x81",
        "\xA1\x40"
        "b",
        "\x81",
        "\xB0\x61"
        "c\n\x81",
    };
    // Long enough to go to the converter in several batches.
    std::string page;
    for (int i = 0; i < 6000; ++i)
        page += cp936("<p>题目") + std::to_string(i) + (i % 97 == 0 ? "\x81" : "") + "</p>\n";
    subjects.push_back(page);
    std::mt19937 random(20240521);
    for (int i = 0; i < 300; ++i) {
        std::string bytes(random() % 40, ' ');
        for (char& b : bytes) {
            const unsigned value = random() % 6 == 0 ? random() % 0x80 : 0x80 + random() % 0x80;
            b = static_cast<char>(value == 0 ? 1 : value);
        }
        subjects.push_back(bytes);
    }
    RegexObject regex;
    for (const std::string& subject : subjects) {
        SCOPED_TRACE(::testing::PrintToString(subject));
        ASSERT_TRUE(regex.execute("^[\\s\\S]*", subject));
        EXPECT_EQ(regex.match_text(1),
                  codepage::cp936_from_utf16(codepage::utf16_from_cp936(subject)));
    }
}

TEST(RegexObject, FirstIndexCountsUtf16UnitsOverChineseText) {
    // Through the engine directly: FirstIndex counts UTF-16 units, not bytes.
    RegExp engine;
    engine.Global = true;
    engine.Pattern = u"abc";
    const auto matches = engine.Execute(codepage::utf16_from_cp936(cp936("题目：abc，abc")));
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->Count(), 2);
    EXPECT_EQ(matches->Item(0)->FirstIndex(), 3);
    EXPECT_EQ(matches->Item(1)->FirstIndex(), 7);
}

TEST(RegexObject, ManyMatchesOnALargePage) {
    std::string page;
    for (int i = 0; i < 5000; ++i)
        page += cp936("<li><span>") + std::to_string(i) + cp936("</span>第") + std::to_string(i) +
                cp936("题<a href=#>答</a></li>\n");
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kQuestionPattern, page));
    ASSERT_EQ(regex.match_count(), 5000);
    EXPECT_EQ(regex.submatch_text(1, 1), cp936("第0题"));
    EXPECT_EQ(regex.submatch_text(4321, 1), cp936("第4320题"));
    EXPECT_EQ(regex.submatch_text(5000, 1), cp936("第4999题"));
    EXPECT_EQ(regex.submatch_text(5001, 1), "");
}

TEST(RegexObject, MinifiedPageWithSpansAfterTheLastLinkStillMatches) {
    // All on one line: every closing span after the last link makes the search run to the end
    // of the page before it gives up on that span.
    std::string page;
    for (int i = 0; i < 1000; ++i)
        page += cp936("<li><span>") + std::to_string(i) + cp936("</span>题目<a href=#>答</a></li>");
    for (int i = 0; i < 400; ++i)
        page += "<div class=n><span>" + std::to_string(i) +
                "</span><a name=" + std::string(150, 'x') + "></a></div>";
    RegexObject regex;
    ASSERT_TRUE(regex.execute(kQuestionPattern, page));
    EXPECT_EQ(regex.match_count(), 1000);
}

TEST(RegexObject, ObjectsOnSeveralThreadsWorkAtOnce) {
    // Each fetch thread has its own object; compiled patterns are shared between them.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            std::string page;
            for (int i = 0; i < 200 + t; ++i)
                page += cp936("</span>题") + std::to_string(i) + "<a href=#>\n";
            for (int round = 0; round < 30; ++round) {
                RegexObject regex;
                regex.execute(kQuestionPattern, page);
                if (regex.match_count() != 200 + t ||
                    regex.submatch_text(200 + t, 1) != cp936("题") + std::to_string(199 + t))
                    ++wrong;
                RegexObject other;
                other.execute("(\\d)+", page);
                if (other.match_count() != 200 + t)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace tavelin
