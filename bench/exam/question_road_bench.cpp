// The road of one question, from Next question to the answer in the answer box, over loopback
// with a 200 KB exam page, sent once in UTF-8 (as exam sites send it; the download then includes
// its decoding) and once in code page 936. Prints the median of the whole and of its parts
// (download, pattern, lookup, the rest), and the ratio of the whole to the download alone,
// measured in the same run. Goal: the whole within 2 times the download alone.

#include "exam/catalogue.h"
#include "exam/controls.h"
#include "exam/lookup.h"
#include "exam/questions.h"
#include "regex/regex_object.h"
#include "runtime/codepage.h"
#include "support/fake_desktop.h"
#include "support/http_server.h"
#include "support/smtp_script_server.h"
#include "web/request.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tavelin;
using Clock = std::chrono::steady_clock;

namespace {

double median_ms(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// About 200 KB: filler paragraphs and a question every few lines, the first one known.
Text exam_page() {
    const Text known = cp936("以下不能发布在护肤品类目下的商品是？");
    Text page = cp936("<html><head><title>卖家规则考试</title></head><body>\n");
    for (int i = 0; page.size() < 200 * 1024; ++i) {
        const Text question =
            i == 0 ? known : cp936("第") + std::to_string(i) + cp936("题：这是一道考题？");
        page += concat_text("<div class=\"q\"><span class=\"n\">", std::to_string(i + 1),
                            ".</span>", question, "<a href=\"/rule/", std::to_string(i), "\">",
                            cp936("规则详情"), "</a></div>\n<p>",
                            cp936("考试说明：请仔细阅读题目后选择正确答案。"), "</p>\n");
    }
    return page + "</body></html>\n";
}

// Measures the road for one page as served; false when the road did not end at the answer.
bool measure(const char* name, const Bytes& served) {
    test::HttpServer server([&](const test::HttpRecord&) {
        return test::http_reply("HTTP/1.1 200 OK", "Content-Type: text/html", served);
    });
    const Text url = server.url("/exam/exam-bench-7.htm");

    test::FakeDesktop desktop;
    const ReportMailbox mailbox{.server = "127.0.0.1",
                                .address = "r@t.example",
                                .password = "x",
                                .port = test::unused_loopback_port(),
                                .reply_timeout_ms = 200};
    desktop.on_content_changed(kQuestionBox, [&] { lookup_answer(desktop, mailbox); });
    desktop.on_click(kNextButton, [&] { next_question(desktop); });
    desktop.on_click(kGoToExamButton, [&] { go_to_exam_page(desktop); });
    desktop.type_text(kLinkBox, url);

    constexpr int kRuns = 60;
    const double whole = median_ms(kRuns, [&] {
        desktop.click(kGoToExamButton); // so every run takes the first, known question
        desktop.click(kNextButton);
        desktop.wait_for_threads();
    });
    if (desktop.get_text(kAnswerBox) != cp936(" 香水"))
        return false;
    const double download = median_ms(kRuns, [&] { (void)web_request(url); });
    const Text fetched = bytes_to_text(web_request(url));
    const double pattern = median_ms(kRuns, [&] {
        RegexObject regex;
        (void)regex.execute(kQuestionPattern, fetched);
        (void)regex.submatch_text(1, 1);
    });
    const Text question = cp936("以下不能发布在护肤品类目下的商品是？");
    const double lookup =
        median_ms(kRuns, [&] { (void)AnswerCatalogue::instance().find_answer(question); });
    std::printf("%s page, %zu bytes, %d runs, medians:\n", name, served.size(), kRuns);
    std::printf("  whole road   %8.3f ms\n", whole);
    std::printf("  download     %8.3f ms\n", download);
    std::printf("  pattern      %8.3f ms\n", pattern);
    std::printf("  lookup       %8.3f ms\n", lookup);
    std::printf("  the rest     %8.3f ms\n", std::max(0.0, whole - download - pattern - lookup));
    std::printf("  whole / download alone: %.2f (goal <= 2)\n", whole / download);
    return true;
}

} // namespace

int main() {
    const Text page = exam_page();
    const std::string utf8 = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n" + codepage::utf8_from_cp936(page);
    if (!measure("UTF-8", utf8) || !measure("code page 936", page)) {
        std::fprintf(stderr, "the road did not end at the answer\n");
        return 1;
    }
    return 0;
}
