#pragma once
// Report mails to the report mailbox: unanswered questions (automatic, and by hand with 按钮6)
// and exam links sent in with 按钮4. Each action tells the user first, then mails.

#include "runtime/desktop.h"

namespace tavelin {

/// Where reports go and how the client logs in.
struct ReportMailbox {
    Text server;  ///< SMTP server host name
    Text address; ///< the mailbox: login account, sender, To and Bcc
    Text password;
    int port = 25;
    int reply_timeout_ms = 2000;
};

/// Connects afresh and mails subject and body to the mailbox. Empty on success, otherwise the
/// reason the mail client gives.
Text send_report_mail(const ReportMailbox& mailbox, const Text& subject, const Text& body);

/// Tells the user that the shown question has no answer, then mails it.
void report_unanswered_question(Desktop& desktop, const ReportMailbox& mailbox);

/// The end of every lookup: a non-empty question that left the no-answer marker is reported.
void no_answer_test(Desktop& desktop, const ReportMailbox& mailbox);

/// The click of 按钮6: reports the shown question by hand, or says why there is nothing to report.
void report_missing_answer(Desktop& desktop, const ReportMailbox& mailbox);

/// The click of 按钮4: mails the link box's text as a request to take the exam.
void send_exam_link(Desktop& desktop, const ReportMailbox& mailbox);

} // namespace tavelin
