#include "exam/catalogue.h"
#include "exam/controls.h"
#include "exam/lookup.h"
#include "exam/questions.h"
#include "runtime/codepage.h"
#include "support/fake_desktop.h"
#include "support/http_server.h"
#include "support/smtp_script_server.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

namespace tavelin {
namespace {

using test::FakeDesktop;
using test::HttpServer;

// Three questions of the catalogue, so that no report is started.
const Text kQ1 = cp936("以下不能发布在护肤品类目下的商品是？");
const Text kQ2 = cp936("下列哪种软件是允许发布的？");
const Text kQ3 = cp936("以下不属于禁售品的是？");

Text question_line(const Text& question) {
    return concat_text("<div><span class=\"n\">1.</span>", question, "<a href=\"/rule\">",
                       cp936("规则详情"), "</a></div>\n");
}

// An exam site whose pages (code page 936, no charset) are set by the test.
struct ExamSite {
    HttpServer server{[this](const test::HttpRecord& request) {
        const std::string line = request.request_line();
        const std::string path =
            line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
        std::unique_lock lock(mutex);
        // Replies wait until `together` requests are in, so that downloads overlap for sure.
        ++arrived;
        all_in.notify_all();
        all_in.wait_for(lock, std::chrono::seconds(5), [this] { return arrived >= together; });
        auto it = pages.find(path);
        return it == pages.end()
                   ? test::http_reply("HTTP/1.1 404 Not Found", "", "")
                   : test::http_reply("HTTP/1.1 200 OK", "Content-Type: text/html", it->second);
    }};
    std::mutex mutex;
    std::condition_variable all_in;
    int arrived = 0;
    int together = 0;
    std::map<std::string, Text> pages;

    Text put(const std::string& path, const Text& page) {
        std::lock_guard lock(mutex);
        pages[path] = page;
        return server.url(path);
    }
};

struct QuestionsTest : ::testing::Test {
    QuestionsTest() {
        desktop.on_content_changed(kQuestionBox, [this] { lookup_answer(desktop, mailbox); });
        desktop.on_click(kNextButton, [this] { next_question(desktop); });
        desktop.on_click(kGoToExamButton, [this] { go_to_exam_page(desktop); });
        desktop.click(kGoToExamButton); // a known starting count
    }
    // One Next question, waited for to its end.
    Text next() {
        desktop.click(kNextButton);
        desktop.wait_for_threads();
        return desktop.get_text(kQuestionBox);
    }

    ExamSite site;
    FakeDesktop desktop;
    ReportMailbox mailbox{.server = "127.0.0.1",
                          .address = "r@t.example",
                          .password = "x",
                          .port = test::unused_loopback_port(),
                          .reply_timeout_ms = 200};
};

TEST_F(QuestionsTest, MatchesComeInOrderAndGoToExamPageStartsAgain) {
    const Text page = concat_text("<html>\n", question_line(kQ1), question_line(kQ2),
                                  question_line(kQ3), "</html>\n");
    desktop.type_text(kLinkBox, site.put("/exam-7.htm", page));
    desktop.click(kGoToExamButton);
    EXPECT_EQ(desktop.address(kBrowserBox), site.server.url("/exam-7.htm"));
    EXPECT_EQ(desktop.caption(kGoToExamButton), cp936("在按一下刷新本页"));

    EXPECT_EQ(next(), kQ1);
    EXPECT_EQ(desktop.get_text(kAnswerBox), cp936(" 香水"));
    EXPECT_EQ(next(), kQ2);
    EXPECT_EQ(next(), kQ3);
    const int changes = desktop.content_changed_runs(kQuestionBox);
    EXPECT_EQ(next(), ""); // past the last match: emptied, nothing appended
    EXPECT_EQ(desktop.content_changed_runs(kQuestionBox), changes + 1);
    EXPECT_EQ(desktop.get_text(kAnswerBox), kNoAnswerMarker);
    EXPECT_EQ(next(), "");
    EXPECT_EQ(question_counter(), 5);

    desktop.click(kGoToExamButton);
    EXPECT_EQ(question_counter(), 0);
    EXPECT_EQ(next(), kQ1);
    EXPECT_EQ(desktop.caption(kGoToExamButton), cp936("在按一下刷新本页"));
    EXPECT_TRUE(desktop.messages().empty());
}

TEST_F(QuestionsTest, QuestionTextsAreTakenAsThePageCarriesThem) {
    struct Row {
        const char* name;
        Text line;
        Text question; // empty: nothing is appended
    } rows[] = {
        {"capitals", concat_text("<SPAN>1.</SPAN>", kQ1, "<A HREF=\"/r\">x</A>\n"), kQ1},
        {"entities kept",
         cp936("</span>硬币制作的&ldquo;硬币戒指&rdquo;是否允许出售？<a href=\"x\">\n"),
         cp936("硬币制作的&ldquo;硬币戒指&rdquo;是否允许出售？")},
        {"spaces kept", concat_text("</span> ", kQ2, " <a href=\"x\">\n"),
         concat_text(" ", kQ2, " ")},
        {"link right after the span", "</span><a href=\"x\">\n", ""},
        {"span and link on different lines", concat_text("</span>", kQ1, "\n<a href=\"x\">\n"), ""},
        {"no page", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        desktop.type_text(kLinkBox, site.put("/one-7.htm", row.line));
        desktop.click(kGoToExamButton);
        const int changes = desktop.content_changed_runs(kQuestionBox);
        EXPECT_EQ(next(), row.question);
        EXPECT_EQ(desktop.content_changed_runs(kQuestionBox),
                  changes + (row.question.empty() ? 1 : 2));
    }
}

TEST_F(QuestionsTest, FailedDownloadStillUsesUpTheNumber) {
    desktop.type_text(kLinkBox,
                      "http://127.0.0.1:" + std::to_string(test::unused_loopback_port()) + "/");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(question_counter(), 1);
    const Text page = concat_text(question_line(kQ1), question_line(kQ2));
    desktop.type_text(kLinkBox, site.put("/exam-7.htm", page)); // editing does not reset the count
    EXPECT_EQ(next(), kQ2);
}

TEST_F(QuestionsTest, QuickPressesAppendBothQuestions) {
    const Text page = concat_text(question_line(kQ1), question_line(kQ2));
    desktop.type_text(kLinkBox, site.put("/exam-7.htm", page));
    site.together = 2;
    desktop.click(kNextButton);
    desktop.click(kNextButton);
    desktop.wait_for_threads();
    const Text shown = desktop.get_text(kQuestionBox);
    EXPECT_TRUE(shown == concat_text(kQ1, kQ2) || shown == concat_text(kQ2, kQ1)) << shown;
    EXPECT_EQ(question_counter(), 2);
}

} // namespace
} // namespace tavelin
