#include "app/events.h"

#include "app/addresses.h"
#include "app/skin_install.h"
#include "exam/controls.h"
#include "exam/lookup.h"
#include "exam/questions.h"

namespace tavelin {
namespace {

constexpr int kSkinNumber = 4;

// The created event: the skin first, then the two hot keys, whose results nobody looks at.
void main_window_created(Desktop& desktop) {
    attach_skin(desktop, kSkinNumber);
    const NativeHandle window = desktop.window_handle(kMainWindow);
    (void)desktop.register_hot_key(window, desktop.window_handle(kF1Label), kNoModifier,
                                   kVirtualKeyF1);
    (void)desktop.register_hot_key(window, desktop.window_handle(kF3Label), kNoModifier,
                                   kVirtualKeyF3);
}

} // namespace

ReportMailbox report_mailbox() {
    return {.server = Text(kReportServer),
            .address = Text(kReportMailbox),
            .password = "315942",
            .port = 25,
            .reply_timeout_ms = 2000};
}

void bind_events(Desktop& desktop, const ReportMailbox& mailbox) {
    Desktop* d = &desktop;
    desktop.on_created(kMainWindow, [d] { main_window_created(*d); });
    desktop.on_click(kNextButton, [d] { next_question(*d); });
    desktop.on_click(kNextButtonTwin, [d] { next_question(*d); });
    desktop.on_feedback(kF1Label, [d](int, int) { next_question(*d); });
    desktop.on_feedback(kF3Label, [d](int, int) { next_question(*d); });
    desktop.on_click(kGoToExamButton, [d] { go_to_exam_page(*d); });
    desktop.on_content_changed(kQuestionBox, [d, mailbox] { lookup_answer(*d, mailbox); });
    desktop.on_click(kReportButton, [d, mailbox] { report_missing_answer(*d, mailbox); });
    desktop.on_click(kSendLinkButton, [d, mailbox] { send_exam_link(*d, mailbox); });
    desktop.on_click(kHintButton, [d] { d->load_window(kHintWindow, true); });
    desktop.on_click(kContactButton, [d] { d->open_address(Text(kContactPage)); });
}

} // namespace tavelin
