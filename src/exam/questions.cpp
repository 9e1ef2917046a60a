#include "exam/questions.h"

#include "exam/controls.h"
#include "regex/regex_object.h"
#include "runtime/codepage.h"
#include "web/request.h"

#include <atomic>

namespace tavelin {
namespace {

// Written by the UI thread (reset) and by every fetch thread (advance).
std::atomic<std::int32_t> g_question_counter{0};

} // namespace

std::int32_t question_counter() {
    return g_question_counter.load();
}

void go_to_exam_page(Desktop& desktop) {
    desktop.set_address(kBrowserBox, desktop.get_text(kLinkBox));
    g_question_counter = 0;
    desktop.set_caption(kGoToExamButton, cp936("在按一下刷新本页"));
}

void next_question(Desktop& desktop) {
    desktop.set_text(kQuestionBox, Text());
    desktop.start_thread([&desktop] { fetch_question(desktop); });
}

void fetch_question(Desktop& desktop) {
    RegexObject regex;
    // The address is read when the thread runs, not when the button was pressed.
    const Text page = bytes_to_text(web_request(desktop.get_text(kLinkBox)));
    // The number is used up whether or not the download worked.
    const std::int32_t number = g_question_counter.fetch_add(1) + 1;
    (void)regex.execute(kQuestionPattern, page);
    desktop.append_text(kQuestionBox, regex.submatch_text(number, 1));
}

} // namespace tavelin
