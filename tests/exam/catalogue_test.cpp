#include "exam/catalogue.h"
#include "runtime/codepage.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tavelin {
namespace {

std::span<const CatalogueEntry> entries() {
    return AnswerCatalogue::instance().entries();
}

// The lookup as a plain in-order scan in which a later match overwrites an earlier one: the
// result the catalogue's index must reproduce for every text.
std::optional<Text> scan(std::string_view question) {
    std::optional<Text> answer;
    for (const CatalogueEntry& entry : entries())
        if (entry.question == question)
            answer = Text(entry.answer);
    return answer;
}

std::optional<Text> find(std::string_view question) {
    return AnswerCatalogue::instance().find_answer(question);
}

int leading_spaces(std::string_view text) {
    const size_t n = text.find_first_not_of(' ');
    return static_cast<int>(n == std::string_view::npos ? text.size() : n);
}

int trailing_spaces(std::string_view text) {
    const size_t n = text.find_last_not_of(' ');
    return static_cast<int>(n == std::string_view::npos ? text.size() : text.size() - n - 1);
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

TEST(AnswerCatalogue, QuotedEntriesAreExactAndAtTheirNumbers) {
    struct Row {
        int number;
        const char* question;
        const char* answer;
    };
    const Row rows[] = {
        {1, "以下不能发布在护肤品类目下的商品是？", " 香水"},
        {34, "以下不属于禁售品的是？", "女装假两件套开衫  或  2.一次性过滤嘴  或  3.烟斗"},
        {41, "恩威牌倩影减肥片，卫食健字（2002）第0256号，应该发布在哪个类目下？", "保健食品 "},
        {64, " 下列哪种软件是允许发布的？", "  工程应用软件 "},
        {67, "书籍类目的3钻以上卖家，允许发布的商品最大上限是多少？", "  100000 "},
        {145, "下列哪种软件是允许发布的？", "  工程应用软件 "},
        {185, "以下哪些信息禁止出现在食品类目宝贝描述里？", "  真人秀对比图片 "},
        {199, "硬币制作的&ldquo;硬币戒指&rdquo;是否允许出售？", "不允许    "},
        {201, "以下哪些信息禁止出现在食品类目宝贝描述里？", "   真人秀对比图片 "},
        {238, "恩威牌倩影减肥片，卫食健字（2002）第0256号，应该发布在哪个类目下？",
         "  答案：保健食品  "},
        {274, "在收到违规出价的投诉时，下列哪种情况是错误的？", "  答案：听之任之  "},
        {308, "下列哪项属于", "  答案：快递把货退回来了，那我不管了  "},
        {318, "", "    "},
    };
    ASSERT_EQ(entries().size(), 318u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        const CatalogueEntry& entry = entries()[row.number - 1];
        EXPECT_EQ(entry.question, cp936(row.question));
        EXPECT_EQ(entry.answer, cp936(row.answer));
    }
}

TEST(AnswerCatalogue, FindsWholeTextsByteForByteAndLastEntryWins) {
    struct Row {
        const char* name;
        Text question;
        std::optional<Text> answer;
    };
    const Text software = cp936("下列哪种软件是允许发布的？");
    const Text software_answer = cp936("  工程应用软件 ");
    const Text ring = cp936("硬币制作的&ldquo;硬币戒指&rdquo;是否允许出售？");
    const Text cut_short = cp936("下列哪项属于");
    const Row rows[] = {
        {"41 and 238 give 238's answer",
         cp936("恩威牌倩影减肥片，卫食健字（2002）第0256号，应该发布在哪个类目下？"),
         cp936("  答案：保健食品  ")},
        {"185 and 201 give 201's answer", cp936("以下哪些信息禁止出现在食品类目宝贝描述里？"),
         cp936("   真人秀对比图片 ")},
        {"145 as written", software, software_answer},
        {"64 with its leading space", " " + software, software_answer},
        {"a trailing space is not trimmed", software + " ", std::nullopt},
        {"two leading spaces are not one", "  " + software, std::nullopt},
        {"a full-width leading space is not a space", cp936("\u3000") + software, std::nullopt},
        {"ASCII ? is not the full-width one", cp936("下列哪种软件是允许发布的?"), std::nullopt},
        {"without its question mark", cp936("下列哪种软件是允许发布的"), std::nullopt},
        {"199 with its entity texts and four trailing spaces", ring, cp936("不允许    ")},
        {"199 with the quotation marks the entities stand for",
         cp936("硬币制作的“硬币戒指”是否允许出售？"), std::nullopt},
        {"199 with the entities in capitals",
         cp936("硬币制作的&LDQUO;硬币戒指&RDQUO;是否允许出售？"), std::nullopt},
        {"308 cut short as the page has it", cut_short,
         cp936("  答案：快递把货退回来了，那我不管了  ")},
        {"308 completed", cut_short + cp936("？"), std::nullopt},
        {"a second question appended behind a found one", software + software, std::nullopt},
        {"the empty question gives the no-answer marker", "", Text(kNoAnswerMarker)},
        {"a lone space is not the empty question", " ", std::nullopt},
        {"the marker itself is no question", Text(kNoAnswerMarker), std::nullopt},
        {"an answer is no question", software_answer, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(find(row.question), row.answer);
    }
    // A missing text is the empty text.
    EXPECT_EQ(find(std::string_view()), Text(kNoAnswerMarker));
    EXPECT_EQ(kNoAnswerMarker, "    ");
}

TEST(AnswerCatalogue, IndexGivesTheInOrderScanResultForEveryQuestionAndNearMiss) {
    const Text full_mark = cp936("？");
    std::vector<Text> texts;
    for (const CatalogueEntry& entry : entries()) {
        const Text q(entry.question);
        texts.push_back(q);
        texts.push_back(q + " ");
        texts.push_back(" " + q);
        texts.push_back(q.substr(std::min<size_t>(q.find_first_not_of(' '), q.size())));
        texts.push_back(q.substr(0, q.empty() ? 0 : q.size() - 1));
        texts.push_back(q.substr(0, q.size() < 2 ? 0 : q.size() - 2));
        texts.push_back(q + full_mark);
        texts.push_back(q + q);
        texts.push_back(Text(entry.answer));
        if (ends_with(q, full_mark))
            texts.push_back(q.substr(0, q.size() - 2) + "?");
        if (ends_with(q, "?"))
            texts.push_back(q.substr(0, q.size() - 1) + full_mark);
    }
    int found = 0;
    for (const Text& text : texts) {
        SCOPED_TRACE(codepage::utf8_from_cp936(text));
        const std::optional<Text> expected = scan(text);
        EXPECT_EQ(find(text), expected);
        found += expected.has_value();
    }
    // Every entry's own question is found, so the comparison covered real hits, not only misses.
    EXPECT_GE(found, 318);
}

TEST(AnswerCatalogueData, QuestionsHaveTheirShape) {
    const auto body = entries().first(317);
    std::map<std::string_view, int> occurrences;
    for (const CatalogueEntry& entry : body)
        ++occurrences[entry.question];
    EXPECT_EQ(occurrences.size(), 307u);
    EXPECT_EQ(occurrences.count(""), 0u);

    std::multiset<int> group_sizes;
    for (const auto& [question, count] : occurrences)
        if (count > 1)
            group_sizes.insert(count);
    EXPECT_EQ(group_sizes, (std::multiset<int>{2, 2, 2, 2, 2, 2, 2, 2, 3}));

    // Spellings of one question that differ in a leading space or a missing final mark.
    const Text full_mark = cp936("？");
    int spelling_pairs = 0;
    for (const auto& [question, count] : occurrences) {
        const Text q(question);
        spelling_pairs += occurrences.count(" " + q) + occurrences.count(q + full_mark) +
                          occurrences.count(q + "?");
    }
    EXPECT_EQ(spelling_pairs, 7);

    const Text ldquo = "&ldquo;";
    const Text rdquo = "&rdquo;";
    int with_ldquo = 0, with_both = 0, leading_space = 0, trailing_space = 0, full_end = 0,
        ascii_end = 0, no_mark = 0;
    size_t shortest = 1000, longest = 0;
    for (const CatalogueEntry& entry : body) {
        const std::string_view q = entry.question;
        with_ldquo += q.find(ldquo) != q.npos;
        with_both += q.find(ldquo) != q.npos && q.find(rdquo) != q.npos;
        leading_space += starts_with(q, " ");
        trailing_space += ends_with(q, " ");
        full_end += ends_with(q, full_mark);
        ascii_end += ends_with(q, "?");
        no_mark += !ends_with(q, full_mark) && !ends_with(q, "?");
        shortest = std::min(shortest, q.size());
        longest = std::max(longest, q.size());
    }
    EXPECT_EQ(with_ldquo, 5);
    EXPECT_EQ(with_both, 2);
    EXPECT_EQ(leading_space, 6);
    EXPECT_EQ(trailing_space, 1);
    EXPECT_EQ(full_end, 301);
    EXPECT_EQ(ascii_end, 2);
    EXPECT_EQ(no_mark, 14);
    EXPECT_EQ(shortest, 12u);
    EXPECT_EQ(longest, 158u);
}

TEST(AnswerCatalogueData, RepeatedQuestionsDifferMostlyInSpacesAndLabels) {
    const Text label = cp936("答案：");
    const auto body = entries().first(317);
    std::map<std::string_view, std::vector<std::string_view>> answers;
    for (const CatalogueEntry& entry : body)
        answers[entry.question].push_back(entry.answer);
    int identical = 0, different_item = 0, groups = 0;
    for (const auto& [question, group] : answers) {
        if (group.size() < 2)
            continue;
        ++groups;
        std::set<std::string_view> raw(group.begin(), group.end());
        std::set<Text> items;
        for (std::string_view answer : group) {
            answer.remove_prefix(static_cast<size_t>(leading_spaces(answer)));
            answer.remove_suffix(static_cast<size_t>(trailing_spaces(answer)));
            if (starts_with(answer, label))
                answer.remove_prefix(label.size());
            items.insert(Text(answer));
        }
        identical += raw.size() == 1;
        different_item += items.size() > 1;
    }
    EXPECT_EQ(groups, 9);
    EXPECT_EQ(identical, 1);
    EXPECT_EQ(different_item, 2);
}

TEST(AnswerCatalogueData, AnswersHaveTheirShape) {
    const auto body = entries().first(317);
    int leading = 0, trailing = 0, neither = 0, max_leading = 0, max_trailing = 0;
    size_t shortest = 1000, longest = 0;
    std::map<std::string, int> labels;
    const Text colon = cp936("答案："), full_semicolon = cp936("答案；"),
               semicolon = cp936("答案;"), bare = cp936("答案");
    for (const CatalogueEntry& entry : body) {
        SCOPED_TRACE(codepage::utf8_from_cp936(entry.question));
        const std::string_view a = entry.answer;
        const int lead = leading_spaces(a), trail = trailing_spaces(a);
        EXPECT_LT(static_cast<size_t>(lead), a.size()) << "empty or spaces alone";
        leading += lead > 0;
        trailing += trail > 0;
        neither += lead == 0 && trail == 0;
        max_leading = std::max(max_leading, lead);
        max_trailing = std::max(max_trailing, trail);
        shortest = std::min(shortest, a.size());
        longest = std::max(longest, a.size());
        const std::string_view text = a.substr(static_cast<size_t>(lead));
        if (starts_with(text, colon))
            ++labels["colon"];
        else if (starts_with(text, full_semicolon))
            ++labels["full-width semicolon"];
        else if (starts_with(text, semicolon))
            ++labels["semicolon"];
        else if (starts_with(text, bare))
            ++labels["run into the text"];
    }
    EXPECT_EQ(leading, 246);
    EXPECT_EQ(trailing, 271);
    EXPECT_EQ(neither, 31);
    EXPECT_EQ(max_leading, 7);
    EXPECT_EQ(max_trailing, 4);
    EXPECT_EQ(shortest, 5u);
    EXPECT_EQ(longest, 137u);
    EXPECT_EQ(labels, (std::map<std::string, int>{{"colon", 86},
                                                  {"full-width semicolon", 3},
                                                  {"semicolon", 1},
                                                  {"run into the text", 2}}));
    EXPECT_EQ(entries()[317].answer, kNoAnswerMarker);
}

// ---- the build-time converter

struct GenRun {
    int status;
    std::string errors;
    std::string output;
};

GenRun run_converter(const std::string& data) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("catalogue_gen_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto in = dir / "catalogue.txt", out = dir / "out.cpp", err = dir / "err.txt";
    std::filesystem::remove(out);
    std::ofstream(in, std::ios::binary) << data;
    const std::string command = std::string("'") + TAVELIN_CATALOGUE_GEN + "' '" + in.string() +
                                "' '" + out.string() + "' 2>'" + err.string() + "'";
    GenRun run{std::system(command.c_str()), {}, {}};
    std::stringstream errors, output;
    errors << std::ifstream(err).rdbuf();
    run.errors = errors.str();
    if (std::filesystem::exists(out))
        output << std::ifstream(out).rdbuf();
    run.output = output.str();
    std::filesystem::remove_all(dir);
    return run;
}

// A well-formed data file: 317 numbered entries and the marker entry, after two comment lines.
std::vector<std::string> good_lines() {
    std::vector<std::string> lines = {"# comment", ""};
    for (int n = 1; n <= 317; ++n)
        lines.push_back(std::to_string(n) + " \"问题" + std::to_string(n) + "？\" => \" 答案 \"");
    lines.push_back("318 \"\" => \"    \"");
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

TEST(CatalogueConverter, AcceptsWellFormedDataWithEscapes) {
    std::vector<std::string> lines = good_lines();
    lines[2] = R"(1 "say \"yes\" \\ no" => "  答案：是 ")";
    const GenRun run = run_converter(joined(lines));
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find(R"("say \x22yes\x22 \x5c no", 14)"), std::string::npos);
    EXPECT_NE(run.output.find(R"({"    ", 4})"), std::string::npos);
}

TEST(CatalogueConverter, RejectsFaultyDataNamingTheLine) {
    struct Row {
        const char* name;
        int line; // 1-based line of the data file that is replaced (0: the last is removed)
        std::string text;
        std::string message_part;
    };
    const Row rows[] = {
        {"character missing from the code page", 5, "3 \"问题😀？\" => \" 答案 \"", ":5:"},
        {"invalid UTF-8", 6, "4 \"问\xff题？\" => \" 答案 \"", ":6:"},
        {"decomposed character", 6, "4 \"cafe\xcc\x81？\" => \" 答案 \"", ":6:"},
        {"unclosed question", 7, "5 \"问题5？ => \" 答案 \"", ":7:"},
        {"unknown escape", 7, "5 \"问题\\n？\" => \" 答案 \"", ":7:"},
        {"missing arrow", 8, "6 \"问题6？\" \" 答案 \"", ":8:"},
        {"text after the answer", 8, "6 \"问题6？\" => \" 答案 \" x", ":8:"},
        {"number out of order", 9, "8 \"问题7？\" => \" 答案 \"", ":9:"},
        {"tab inside a text", 9, "7 \"问题\t7？\" => \" 答案 \"", ":9:"},
        {"answer of spaces alone", 10, "8 \"问题8？\" => \"   \"", ":10:"},
        {"last entry without the marker", 320, "318 \"\" => \"   \"", ":320:"},
        {"one entry short", 0, "", "317 entries"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> lines = good_lines();
        if (row.line == 0)
            lines.pop_back();
        else
            lines[static_cast<size_t>(row.line - 1)] = row.text;
        const GenRun run = run_converter(joined(lines));
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.errors.find(row.message_part), std::string::npos) << run.errors;
        EXPECT_TRUE(run.output.empty());
    }
}

TEST(CatalogueConverter, AcceptsTheProgramsOwnData) {
    std::stringstream data;
    data << std::ifstream(TAVELIN_CATALOGUE_DATA, std::ios::binary).rdbuf();
    const GenRun run = run_converter(data.str());
    EXPECT_EQ(run.status, 0) << run.errors;
}

} // namespace
} // namespace tavelin
