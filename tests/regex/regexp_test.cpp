// The dialect against JavaScript itself: a table of patterns and subjects run through
// RegexObject and through node's RegExp, compared match by match.
#include "regex/regex_object.h"
#include "regex/regexp.h"
#include "runtime/codepage.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tavelin {
namespace {

using codepage::utf16_from_cp936;

struct Case {
    const char* pattern; // UTF-8, JavaScript syntax
    const char* subject; // UTF-8
    const char* flags;   // any of "g", "i", "m"
    const char* replacement = "<$&>";
};

// Each row states one rule of the dialect; subjects hold only what code page 936 can carry.
const Case kCases[] = {
    // literals, classes, repetition
    {"abc", "xabcabc", "g"},
    {"a.c", "abc a\nc a\rc a中c", "g"},
    {"[a-c]+", "xxabcbayy", "g"},
    {"[^a-c]+", "abxyzc", "g"},
    {"a+?b", "aaab", "g"},
    {"a{2,3}", "aaaaaaa", "g"},
    {"a{2,}?", "aaaaa", "g"},
    {"a{0,99999}", "aaa", "g"},
    {"x|y|", "xzy", "g"},
    {"(a|ab)(c|bcd)(d*)", "abcd", ""},
    {"colou?r", "color colour", "g"},
    // the question pattern and its relatives
    {"</span>(.*?)<a href=", "<span>1</span>问题一<a href=x></span>问题二<a href=y>", "gim"},
    {"</span>(.*?)?<a href=", "</SPAN>问题&ldquo;一&rdquo;<A HREF=x>", "gim"},
    {"</span>(.*?)?<a href=", "</span>line\none<a href=x>", "gim"},
    {"</span>(.+?)<a href=", "</span>a</span>b<a href=x>", "gim"},
    // letter case
    {"abc", "ABC aBc", "gi"},
    {"abc", "ABC aBc", "g"},
    {"αβγ", "ΑΒΓ αβγ", "gi"},
    {"привет", "ПРИВЕТ", "gi"},
    {"ａｂｃ", "ＡＢＣ", "gi"},
    {"[a-z]+", "ABC def", "gi"},
    {"[^a-z]+", "ABC 12", "gi"},
    {"\\u00dc", "ü", "gi"},
    {"(a)\\1", "aA Aa aa", "gi"},
    {"ǖ", "ǖ", "gi"},
    // anchors and line breaks
    {"^\\w+", "one\ntwo\r\nthree\rfour", "gm"},
    {"\\w+$", "one\ntwo\r\nthree\rfour", "gm"},
    {"^\\w+", "one\ntwo", "g"},
    {"\\w+$", "one\ntwo\n", "g"},
    {"^", "a\r\nb", "gm"},
    {"$", "a\r\nb\n", "gm"},
    {"^$", "a\n\nb\r\n\r\n", "gm"},
    {"^b", "a\nb", "g"},
    {"\\bfoo\\b", "foo foobar 中foo中 _foo", "g"},
    {"\\Boo\\B", "foo fooo", "g"},
    {"[\\s\\S]+", "a\nb", "g"},
    {"[^]+", "a\nb", "g"},
    {"[]", "abc", "g"},
    {"a[]b", "ab", "g"},
    // white space and word characters
    {"\\s+", "a b\tc\u3000d\r\ne", "g"},
    {"\\S+", "a b\tc\u3000d", "g"},
    {"[^\\s]+", "中文\u3000题目 x", "g"},
    {"[\\S]+", "中文\u3000题目", "g"},
    {"\\w+", "abc_1 中文 é", "g"},
    {"\\W+", "ab 中文 cd", "g"},
    {"\\d+", "12 ３４ 5", "g"},
    {"[\\d-z]+", "1-z a", "g"},
    {"[--a]+", "-./A_a b", "g"},
    {"[\\w.]+@[\\w.]+", "mail: a.b@c.example!", "g"},
    // Chinese text
    {"[一-龥]+", "abc中文题目def考试", "g"},
    {"题目(\\d+)：(.*)", "题目1：第一题\n题目2：第二题", "g"},
    {"[中文]", "中国文字", "g"},
    {"考试.", "考试一考试二", "g"},
    {"[\\u4e00-\\u9fa5]+", "abc中文def题目", "g"},
    {"\\u4e2d\\u6587", "中文", "g"},
    {"[^\\x00-\\xff]+", "a中文b，c", "g"},
    {"[\\x00-\\x7f]+", "a中文b，c", "g"},
    {"&ldquo;(.*?)&rdquo;", "说&ldquo;包邮&rdquo;和&ldquo;正品&rdquo;", "g", "「$1」"},
    {"\\d+(?=元)", "价格12元，运费3元", "g"},
    {"(?<=￥)\\d+(\\.\\d\\d)?", "￥25.00 ￥8", "g"},
    {"第(\\d+)题", "第1题 第22题", "g", "Q$1"},
    {"\\s+$", "题目　 ", "g", ""},
    {"^\\s+|\\s+$", "　 题目 　", "g", ""},
    // empty matches step forward
    {"x*", "baaac", "g"},
    {"a*", "baaac", "g"},
    {"a*?", "aa", "g"},
    {"\\b", "ab cd", "g"},
    {"(?:)", "中文", "g"},
    {"", "abc", "g", "-"},
    // groups, references, names
    {"(a)|b", "ab", "g"},
    {"(a)?b", "b ab", "g"},
    {"(\\w)(\\d)?", "a1b", "g"},
    {"(\\w)\\1", "aabbcd", "g"},
    {"\\2(a)(b)", "ab", "g"},
    {"(a\\1)", "aa", "g"},
    {"(?<year>\\d{4})-(?<month>\\d\\d)", "2024-05 1999-12", "g", "$<month>/$<year>"},
    {"(?<x>a)\\k<x>", "aa", "g"},
    {"\\k", "k", "g"},
    {"(?<$d>.)\\k<$d>", "xxyy", "g"},
    {"(a)\\10", "a\x08 a0", "g"},
    {"(?:a|b)+", "abba", "g"},
    // groups inside a repeated group answer for its last pass only
    {"(?:(a)|b)+", "ab", "g"},
    {"((a)|(b))+", "ab ba", "g"},
    {"(z)((a+)?(b+)?(c))*", "zaacbbbcac", "g"},
    {"(?:(a)|(b)){2}", "ab ba aa", "g"},
    {"(?:(a)|(b)){1,3}?c", "abac", "g"},
    {"(?:(a)|b)*?c", "abc bac", "g"},
    {"(?:(a)|(b))*", "ab", "g"},
    {"(?:(a)\\1|b)+", "aab aabaa", "g"},
    {"(?:(a)|b)+\\1", "aba abaa", "g"},
    {"(?:\\1(a)|b)+", "aaba", "g"},
    {"(a\\1)+", "aaa", "g"},
    {"(\\B\\W.??\\1){1,3}", "中\n$文é文\n", "gim"},
    {"(?:(a)|(ab))+", "abab", "g"},
    {"(?:(a)|(ab))+c", "abac", "g"},
    {"((a)|ab)*?c", "ababc", "g"},
    {"(?:(?:(a)|b)+-)+", "ab-ba-b-", "g"},
    {"(?:(?<x>a)|b)+", "ab", "g", "[$<x>]"},
    {"((?:(a)|b)+-)+", "ab-ba-", "g"},
    {"(?:(\\d)(?:(x)|y))+", "1x2y", "g"},
    // lookaround
    {"a(?=b)", "ab ac", "g"},
    {"a(?!b)", "ab ac", "g"},
    {"(?<=\\$)\\d+", "$12 34", "g"},
    {"(?<!\\$)\\b\\d+", "$12 34", "g"},
    {"(?=(a))a", "a", ""},
    {"(?=a)*a", "a", "g"},
    {"(?=A)\\r*?a+", "BA", "gi"},
    {"(?=A)x?A", "BA", "g"},
    {"(?=a)+a", "ba", "g"},
    {"(?=(\\w))?\\w", "ab", "g"},
    // letter case beyond ASCII: upper-case forms decide, non-ASCII never matches ASCII
    {"\\u212a", "k K", "gi"},
    {"\\u017f", "s S", "gi"},
    {"\\u0131", "i I", "gi"},
    {"\\u00df", "ss", "gi"},
    {"\\u03c2", "Σσ", "gi"},
    {"[\\u0100-\\u017f]", "k s ā", "gi"},
    {"\\w", "\u212a", "gi"},
    {"[^\\W]", "K", "gi"},
    // more repetition, anchors, classes and replacements
    {"(a*)+b", "b", "g"},
    {"(a*)*b", "aab", "g"},
    {"(\\s*\\w*)+", "ab cd", "g"},
    {"(a|)+", "aab", "g"},
    {"(.*?){1,}", "abc", "g"},
    {"(|a)+b", "aab", "g"},
    {"(\\${0,2}?)+", "$", "g"},
    {"(?:|a)*", "aa", "g"},
    {"(?:\\W*\\S*?){1,}x", "ab x", "g"},
    {"(a|b)*?c", "abc", "g"},
    {"^.*$", "a\r\nb", "gm"},
    {"[\\s]", "\u00a0", "g"},
    {"\\S", "\u00a0", "g"},
    {"(?<=^|,)\\w+", "a,b,c", "g"},
    {"(?<=\\b\\w)\\w", "ab cd", "g"},
    {"(?<=a.)b", "a中b", "g"},
    {"(?<!^)x", "xx\nx", "gm"},
    {"a$", "a\n", "g"},
    {"[.]", "a.b", "g"},
    {"\\.", "a.b", "g"},
    {"a|", "ba", "g"},
    {"(?=a)", "aa", "g"},
    {"\\B", "ab", "g"},
    {"x*?$", "ab", "gm"},
    {"(\\d+)\\s+\\1", "12 12 13 14", "g"},
    {"(?:ab){2}", "ababab", "g"},
    {"[a-]", "-a", "g"},
    {"[-]", "-", "g"},
    {"[\\w-.]", "a-.", "g"},
    {"[a-\\d]", "a-1", "g"},
    {"\\cJ", "\n", "g"},
    {"[\\cJ]", "\n", "g"},
    {"[\\c_]", "\x1f", "g"},
    {"\\c_", "\\c_", "g"},
    {"\\377", "\u00ff", "g"},
    {"\\400", " 0", "g"},
    {"[\\0]", "a", "g"},
    {"(?<a>.)(?<b>.)", "xy", "g", "$<b>$<a>$<c>|$2$1"},
    {"$", "ab", "g", "!"},
    {"^", "ab\ncd", "gm", "> "},
    {"\\b", "ab cd", "g", "|"},
    {"a*", "baaac", "g", "-"},
    {"中*", "中中文", "g", "-"},
    {"(?:)", "", "g", "x"},
    {"a", "", "g", "x"},
    {".", "\u3000", "g"},
    {"[^a]", "\n", "g"},
    // escapes
    {"\\x41\\u0042", "AB", "g"},
    {"\\x4", "x4", "g"},
    {"\\u12", "u12", "g"},
    {"\\u{41}", "A u{41}", "g"},
    {"\\t\\n", "\t\n", "g"},
    {"\\ca\\cZ", "\x01\x1a", "g"},
    {"\\c1", "\\c1", "g"},
    {"[\\c1]", "\x11", "g"},
    {"[\\c]+", "\\c", "g"},
    {"a\\0", "a", "g"},
    {"\\101", "A", "g"},
    {"\\18",
     "\x01"
     "8",
     "g"},
    {"\\8\\9", "89", "g"},
    {"[\\101-\\103]+", "ABCD", "g"},
    {"[\\b]", "\b", "g"},
    {"\\a\\e\\q\\A\\z\\Q", "aeqAzQ", "g"},
    {"\\p{L}", "p{L}", "g"},
    {"\\/\\.\\*", "/.*", "g"},
    {"\\ud800", "a", "g"},
    {"[\\ud800-\\udfff]", "a", "g"},
    {"[^\\ud800]", "a", "g"},
    // braces and brackets as literals
    {"a{", "a{", "g"},
    {"a{1,2", "a{1,2", "g"},
    {"x{a}", "x{a}", "g"},
    {"a{,2}", "a{,2}", "g"},
    {"]", "]", "g"},
    {"}", "}", "g"},
    {"{", "{", "g"},
    // non-global finds the first only
    {"\\d", "a1b2", ""},
    {"\\d", "ab", ""},
    // rejected patterns
    {"(", "a", "g"},
    {")", "a", "g"},
    {"[a", "a", "g"},
    {"a**", "a", "g"},
    {"a{2}{3}", "a", "g"},
    {"{1}", "a", "g"},
    {"a{2,1}", "a", "g"},
    {"*a", "a", "g"},
    {"a|?", "a", "g"},
    {"\\", "a", "g"},
    {"[z-a]", "a", "g"},
    {"(?i)a", "a", "g"},
    {"a++", "a", "g"},
    {"(?>a)", "a", "g"},
    {"(?<=a)*", "a", "g"},
    {"^*", "a", "g"},
    {"\\b+", "a", "g"},
    {"(?<a>x)(?<a>y)", "xy", "g"},
    {"(?<a>x)\\k<b>", "x", "g"},
    {"(?<a>x)\\k", "x", "g"},
    {"(?<a>x)[\\k]", "x", "g"},
    {"(?<1a>x)", "x", "g"},
    {"(?#comment)", "a", "g"},
    // replacement forms
    {"(a)(b)?", "xaby a", "g", "[$1|$2|$3|$0|$$|$&|$`|$']"},
    {"(a)", "a", "g", "$10 $01 $00 $1$"},
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "abcdefghij", "g", "$10-$11-$1"},
    {"(a)", "a", "g", "$<x> $"},
    {"(?<x>a)", "a", "g", "$<x>$<y>$<x"},
    {"o", "foo boo", "", "0"},
    {"中", "中文中文", "g", "$`"},
};

std::string hex_units(std::u16string_view units) {
    std::string out;
    char buffer[8];
    for (char16_t c : units) {
        std::snprintf(buffer, sizeof buffer, "%04x", static_cast<unsigned>(c));
        out += buffer;
    }
    return out;
}

std::string json_units(std::u16string_view units) {
    std::string out = "[";
    for (std::size_t i = 0; i < units.size(); ++i)
        out += (i ? "," : "") + std::to_string(static_cast<unsigned>(units[i]));
    return out + "]";
}

// One line per case: "ERR", or the matches (byte offset, text, submatches) and the replaced text.
std::string describe(const Case& c) {
    const Text pattern = cp936(c.pattern);
    const Text subject = cp936(c.subject);
    const std::string flags = c.flags;
    RegexObject regex;
    const bool ok =
        regex.execute(pattern, subject, flags.find('i') == std::string::npos,
                      flags.find('m') != std::string::npos, flags.find('g') != std::string::npos);
    if (!ok)
        return "ERR";
    std::string line = std::to_string(regex.match_count());
    for (int n = 1; n <= regex.match_count(); ++n) {
        int position = 0;
        const Text value = regex.match_text(n, &position);
        line += " " + std::to_string(position) + ":" + hex_units(utf16_from_cp936(value));
        for (int k = 1; k <= regex.submatch_count(); ++k)
            line += "," + hex_units(utf16_from_cp936(regex.submatch_text(n, k)));
    }
    line += " =" + hex_units(utf16_from_cp936(regex.replace_matches(cp936(c.replacement))));
    return line;
}

const char kNodeScript[] = R"JS(
const cases = JSON.parse(require('fs').readFileSync(process.argv[2], 'utf8'));
const text = (units) => String.fromCharCode(...units);
const hex = (s) => s === undefined ? '' :
    [...Array(s.length).keys()].map((i) => s.charCodeAt(i).toString(16).padStart(4, '0')).join('');
const lines = cases.map((c) => {
    const p = text(c.p), s = text(c.s), r = text(c.r);
    let re;
    try { re = new RegExp(p, c.f); } catch (e) { return 'ERR'; }
    const found = c.f.includes('g') ? [...s.matchAll(re)] : [re.exec(s)].filter((m) => m);
    let line = String(found.length);
    for (const m of found) {
        line += ' ' + c.b[m.index] + ':' + hex(m[0]);
        for (let k = 1; k < m.length; ++k) line += ',' + hex(m[k]);
    }
    return line + ' =' + hex(s.replace(new RegExp(p, c.f), r));
});
process.stdout.write(lines.join('\n') + '\n');
)JS";

std::string find_node() {
    for (const char* candidate : {"/usr/bin/node", "/usr/local/bin/node"}) {
        if (access(candidate, X_OK) == 0)
            return candidate;
    }
    return {};
}

// Runs the table through node; one line per case, or nothing when node could not run.
std::vector<std::string> run_node(const std::string& node, const std::vector<Case>& cases) {
    const std::string dir = ::testing::TempDir();
    const std::string script = dir + "regexp_differential.js";
    const std::string input = dir + "regexp_differential.json";
    std::ofstream(script) << kNodeScript;
    std::ofstream json(input);
    json << "[";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Text subject = cp936(c.subject);
        // Byte offset in the code page 936 subject of each UTF-16 position.
        const std::u16string units = utf16_from_cp936(subject);
        std::string offsets = "[0";
        std::size_t bytes = 0;
        for (char16_t u : units) {
            bytes += codepage::cp936_from_utf16(std::u16string(1, u)).size();
            offsets += "," + std::to_string(bytes);
        }
        json << (i ? "," : "") << "{\"p\":" << json_units(utf16_from_cp936(cp936(c.pattern)))
             << ",\"s\":" << json_units(units)
             << ",\"r\":" << json_units(utf16_from_cp936(cp936(c.replacement))) << ",\"f\":\""
             << c.flags << "\",\"b\":" << offsets << "]}";
    }
    json << "]";
    json.close();
    std::vector<std::string> lines;
    FILE* pipe = popen((node + " " + script + " " + input).c_str(), "r");
    if (!pipe)
        return lines;
    std::string all;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        all.append(buffer.data(), n);
    pclose(pipe);
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(RegExpDialect, MatchesLikeJavaScriptRegExp) {
    const std::string node = find_node();
    if (node.empty())
        GTEST_SKIP() << "node is not installed; the dialect is not compared with JavaScript";
    const std::vector<Case> cases(std::begin(kCases), std::end(kCases));
    const std::vector<std::string> expected = run_node(node, cases);
    ASSERT_EQ(expected.size(), cases.size()) << "node did not answer every case";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(std::string("/") + cases[i].pattern + "/" + cases[i].flags + " over \"" +
                     cases[i].subject + "\"");
        EXPECT_EQ(describe(cases[i]), expected[i]);
    }
}

// Where PCRE2 cannot follow JavaScript: an optional group takes a pass that matches nothing; a
// lazy or bounded repetition ends after a first pass that matches nothing, and one with a lower
// bound of 2 or more may take an empty pass beyond it.
TEST(RegExp, KnownDifferencesFromJavaScript) {
    struct Row {
        const char16_t* pattern;
        const char16_t* subject;
        const char16_t* value;
        const char16_t* group1; // nullptr: the group took no part
    } rows[] = {
        // JavaScript: the whole line, group "<a href=1>q"
        {u"</span>(.*?)?<a href=", u"</span><a href=1>q<a href=2", u"</span><a href=", u""},
        // JavaScript: group "a", the third pass refused
        {u"(a?){2,}", u"aa", u"aa", u""},
        // JavaScript: "ab", group "b", a second pass after the empty first one
        {u"(|a|b){1,3}", u"ab", u"", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(codepage::utf8_from_utf16(row.pattern));
        RegExp re;
        re.Pattern = row.pattern;
        const auto matches = re.Execute(row.subject);
        ASSERT_TRUE(matches);
        ASSERT_EQ(matches->Count(), 1);
        const Match match = *matches->Item(0);
        EXPECT_EQ(match.Value(), row.value);
        const auto group = match.SubMatches().Item(0);
        ASSERT_EQ(group.has_value(), row.group1 != nullptr);
        if (group) {
            EXPECT_EQ(*group, row.group1);
        }
    }
}

TEST(RegExp, OptionalEmptyGroupGivesShortestQuestion) {
    RegExp re;
    re.IgnoreCase = re.Multiline = re.Global = true;
    re.Pattern = u"</span>(.*?)?<a href=";
    const auto matches = re.Execute(u"</span><a href=1>q<a href=2>\n</span>问题<a href=3>");
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->Count(), 2);
    EXPECT_EQ(matches->Item(0)->SubMatches().Item(0), u"");
    EXPECT_EQ(matches->Item(1)->SubMatches().Item(0), u"问题");
    EXPECT_EQ(matches->Item(1)->FirstIndex(), 29);
}

TEST(RegExp, DefaultsAreCaseSensitiveSingleLineFirstMatch) {
    RegExp re;
    re.Pattern = u"^b";
    const auto none = re.Execute(u"a\nb B");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Count(), 0);
    re.Pattern = u"b";
    const auto first = re.Execute(u"a\nb b B");
    ASSERT_TRUE(first);
    ASSERT_EQ(first->Count(), 1);
    EXPECT_EQ(first->Item(0)->FirstIndex(), 2);
}

TEST(RegExp, RejectedPatternFailsExecuteAndReplace) {
    RegExp re;
    re.Global = true;
    re.Pattern = u"(a";
    EXPECT_EQ(re.Execute(u"aaa"), nullptr);
    EXPECT_EQ(re.Replace(u"aaa", u"b"), std::nullopt);
    re.Pattern = u"a"; // the same object recovers with a sound pattern
    EXPECT_EQ(re.Replace(u"aaa", u"b"), u"bbb");
}

TEST(RegExp, CatastrophicBacktrackingFailsInsteadOfHanging) {
    RegExp re;
    re.Global = true;
    re.Pattern = u"^(a+)+$";
    EXPECT_EQ(re.Execute(std::u16string(40, u'a') + u"!"), nullptr);
    re.Pattern = u"(x+x+)+[yz]";
    EXPECT_FALSE(re.Replace(std::u16string(5000, u'x'), u"").has_value());
}

TEST(RegExp, LazyRepetitionOverLongLineStillMatches) {
    // Far more backtracking state than the JIT's default stack holds.
    RegExp re;
    re.Pattern = u"<b>(.*?)</b>";
    const std::u16string inner(300000, u'x');
    const auto matches = re.Execute(u"<b>" + inner + u"</b>");
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(0)->SubMatches().Item(0)->size(), inner.size());
}

TEST(RegExp, EmptyMatchStepsOverWholeSurrogatePair) {
    RegExp re;
    re.Global = true;
    re.Pattern = u"";
    const auto matches = re.Execute(u"a\U0001F600b");
    ASSERT_TRUE(matches);
    std::vector<int> starts;
    for (int i = 0; i < matches->Count(); ++i)
        starts.push_back(matches->Item(i)->FirstIndex());
    EXPECT_EQ(starts, (std::vector<int>{0, 1, 3, 4}));
}

TEST(RegExp, SubjectWithLoneSurrogateFailsCleanly) {
    RegExp re;
    re.Global = true;
    re.Pattern = u".";
    EXPECT_EQ(re.Execute(std::u16string(u"ab") + char16_t(0xD800) + u"c"), nullptr);
    EXPECT_FALSE(re.Replace(std::u16string(1, char16_t(0xDC00)), u"x").has_value());
}

TEST(RegExp, CollectionItemsOutOfRangeAreEmpty) {
    RegExp re;
    re.Pattern = u"(a)(b)?";
    const auto matches = re.Execute(u"xa");
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_FALSE(matches->Item(-1));
    EXPECT_FALSE(matches->Item(1));
    const Match match = *matches->Item(0);
    EXPECT_EQ(match.FirstIndex(), 1);
    EXPECT_EQ(match.Length(), 1);
    const SubMatchCollection groups = match.SubMatches();
    EXPECT_EQ(groups.Count(), 2);
    EXPECT_EQ(groups.Item(0), u"a");
    EXPECT_EQ(groups.Item(1), std::nullopt); // took no part
    EXPECT_EQ(groups.Item(2), std::nullopt);
    EXPECT_EQ(groups.ItemIndex(0), 1);
    EXPECT_EQ(groups.ItemIndex(1), -1);
}

TEST(RegExp, ChangedPropertiesTakeEffectOnNextCall) {
    RegExp re;
    re.Pattern = u"a";
    EXPECT_EQ(re.Replace(u"aA", u"-"), u"-A");
    re.IgnoreCase = true;
    re.Global = true;
    EXPECT_EQ(re.Replace(u"aA", u"-"), u"--");
    re.Pattern = u"^A$";
    re.Multiline = true;
    EXPECT_EQ(re.Replace(u"a\nb\nA", u"-"), u"-\nb\n-");
}

} // namespace
} // namespace tavelin
