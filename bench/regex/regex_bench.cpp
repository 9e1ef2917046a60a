// Times the question pattern over a generated exam page of about 1 MB with thousands of
// questions: RegexObject (code page conversion included) against std::regex over the same bytes,
// and against node's RegExp when node is installed. Each side does what one question fetch does:
// find every match of the page and take group 1 of match N (the middle question here). The best
// of several runs counts.
#include "regex/regex_object.h"
#include "regex/regexp.h"
#include "runtime/codepage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using tavelin::cp936;
using tavelin::Text;
using Clock = std::chrono::steady_clock;

const char kPattern[] = "</span>(.*?)?<a href=";

// A page like the exam site's: per question a numbered span, the question text (with entities,
// sometimes capitals) and a link on the same line, then answer options whose spans have no link.
Text make_page(std::size_t size, int& questions) {
    const char* texts[] = {
        "以下哪种行为属于违规发布商品？",
        "卖家在商品标题中使用&ldquo;最低价&rdquo;等用语是否允许？",
        "买家申请退款后，卖家应在多少小时内处理？",
        "关于运费模板的说法，正确的是哪一项？",
        "店铺装修中使用他人图片需要获得授权吗？",
    };
    const Text head = cp936("<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>考试</title>"
                            "</head>\n<body>\n<div class=\"exam\">\n");
    Text page = head;
    questions = 0;
    while (page.size() < size) {
        const int i = ++questions;
        const bool capitals = i % 7 == 0;
        page += cp936("<div class=\"q\" id=\"q") + std::to_string(i) + "\">";
        page += capitals ? "<SPAN class=\"no\">" : "<span class=\"no\">";
        page += std::to_string(i) + ".";
        page += capitals ? "</SPAN>" : "</span>";
        page += cp936(texts[i % 5]) + cp936("（第") + std::to_string(i) + cp936("题）");
        page += capitals ? "<A HREF=\"/exam/q?id=" : "<a href=\"/exam/q?id=";
        page += std::to_string(i) + cp936("\">查看</a></div>\n<ul class=\"opts\">\n");
        for (const char* option : {"A", "B", "C", "D"}) {
            page += cp936("<li><label><input type=\"radio\" name=\"a") + std::to_string(i) +
                    "\"><span>" + option + cp936(".</span>选项内容说明文字</label></li>\n");
        }
        page += "</ul>\n";
    }
    page += "</div>\n</body></html>\n";
    return page;
}

template <class F> double best_ms(int runs, F&& run) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

std::string find_node() {
    for (const char* candidate : {"/usr/bin/node", "/usr/local/bin/node"}) {
        if (access(candidate, X_OK) == 0)
            return candidate;
    }
    return {};
}

struct NodeTimes {
    double regex_ms = -1;  ///< the pattern over the page already decoded
    double decode_ms = -1; ///< decoding the code page 936 bytes and then the pattern
    long count = 0;
};

// node's best times, or negative ones when it could not run.
NodeTimes node_times(const std::string& node, const Text& page, int wanted) {
    const char* dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string base = std::string(dir) + "/regex_bench_" + std::to_string(getpid());
    std::ofstream(base + ".html", std::ios::binary) << page;
    std::ofstream(base + ".js") << R"JS(
const bytes = require('fs').readFileSync(process.argv[2]);
const wanted = Number(process.argv[3]);
const decoder = new TextDecoder('gbk');
const page = decoder.decode(bytes);
const question = (text) => {
    const found = [...text.matchAll(/<\/span>(.*?)?<a href=/gim)];
    return [found.length, found[wanted - 1][1]];
};
const best = (run) => {
    let ms = Infinity;
    for (let i = 0; i < 30; ++i) {
        const start = process.hrtime.bigint();
        run();
        ms = Math.min(ms, Number(process.hrtime.bigint() - start) / 1e6);
    }
    return ms;
};
const regex = best(() => question(page));
const decoding = best(() => question(decoder.decode(bytes)));
console.log(regex + ' ' + decoding + ' ' + question(page)[0]);
)JS";
    NodeTimes times;
    const std::string command =
        node + " " + base + ".js " + base + ".html " + std::to_string(wanted) + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf %ld", &times.regex_ms, &times.decode_ms, &times.count) != 3)
            times = {};
        pclose(pipe);
    }
    std::remove((base + ".html").c_str());
    std::remove((base + ".js").c_str());
    return times;
}

} // namespace

int main() {
    int questions = 0;
    const Text page = make_page(1 << 20, questions);
    std::printf("page: %zu bytes, %d questions\n", page.size(), questions);

    const int wanted = questions / 2;

    long ours_count = 0;
    Text ours_question;
    const double ours = best_ms(50, [&] {
        tavelin::RegexObject regex;
        regex.execute(kPattern, page);
        ours_count = regex.match_count();
        ours_question = regex.submatch_text(wanted, 1);
    });

    // The engine alone, over the page already in UTF-16, as node's RegExp gets it.
    const std::u16string units = tavelin::codepage::utf16_from_cp936(page);
    const double engine = best_ms(50, [&] {
        tavelin::RegExp re;
        re.IgnoreCase = re.Multiline = re.Global = true;
        re.Pattern = u"</span>(.*?)?<a href=";
        const auto matches = re.Execute(units);
        (void)matches->Item(wanted - 1)->SubMatches().Item(0);
    });

    long std_count = 0;
    std::string std_question;
    const double standard = best_ms(5, [&] {
        const std::regex re(kPattern,
                            std::regex::ECMAScript | std::regex::icase | std::regex::multiline);
        std_count = 0;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), re);
             it != std::sregex_iterator(); ++it) {
            if (++std_count == wanted)
                std_question = (*it)[1].str();
        }
    });

    std::printf("RegexObject (code page 936 page, conversion included): %7.2f ms (%ld matches)\n",
                ours, ours_count);
    std::printf("RegExp engine alone (page already UTF-16):             %7.2f ms\n", engine);
    std::printf("std::regex (same bytes):                               %7.2f ms (%ld matches)\n",
                standard, std_count);
    std::printf("std::regex / RegexObject = %.1fx (goal >= 20x)%s\n", standard / ours,
                standard / ours >= 20 ? "" : "  NOT MET");

    const std::string node = find_node();
    if (node.empty()) {
        std::printf("node: not installed, not compared\n");
    } else if (const NodeTimes times = node_times(node, page, wanted); times.regex_ms < 0) {
        std::printf("node: did not run\n");
    } else {
        std::printf(
            "node RegExp (page already decoded):                    %7.2f ms (%ld matches)\n",
            times.regex_ms, times.count);
        std::printf("node TextDecoder('gbk') + RegExp:                      %7.2f ms\n",
                    times.decode_ms);
        std::printf("node decoding+RegExp / RegexObject = %.2fx (goal >= 1x)%s\n",
                    times.decode_ms / ours, times.decode_ms >= ours ? "" : "  NOT MET");
        std::printf("node RegExp / RegExp engine = %.2fx (goal >= 1x)%s\n", times.regex_ms / engine,
                    times.regex_ms >= engine ? "" : "  NOT MET");
    }
    if (ours_count != std_count || ours_question != std_question) {
        std::printf("RegexObject and std::regex disagree\n");
        return 1;
    }
    return 0;
}
