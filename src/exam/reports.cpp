#include "exam/reports.h"

#include "exam/catalogue.h"
#include "exam/controls.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"

namespace tavelin {
namespace {

bool holds_marker(Desktop& desktop) {
    return desktop.get_text(kAnswerBox) == kNoAnswerMarker;
}

// The buttons announce the mail before sending it; a mail that then fails must not pass for
// sent, so the user hears of it.
void send_and_tell_failure(Desktop& desktop, const ReportMailbox& mailbox, const Text& subject,
                           const Text& body) {
    const Text reason = send_report_mail(mailbox, subject, body);
    if (!reason.empty())
        desktop.show_message(concat_text(cp936("发送失败："), reason));
}

} // namespace

Text send_report_mail(const ReportMailbox& mailbox, const Text& subject, const Text& body) {
    const bool connected = smtp_connect(mailbox.server, mailbox.port, mailbox.address,
                                        mailbox.password, mailbox.reply_timeout_ms);
    const Text connect_error = connected ? Text() : smtp_last_error();
    const Text reason = smtp_send_mail(subject, body, mailbox.address, std::nullopt,
                                       mailbox.address, mailbox.address);
    // After a failed connect the send fails at once; the connect's reason says more.
    return !reason.empty() && !connect_error.empty() ? connect_error : reason;
}

void report_unanswered_question(Desktop& desktop, const ReportMailbox& mailbox) {
    desktop.show_message(cp936("哦！！对不起,IM sorry，本题没有答案！我即将发送问题至数据库!"
                               "如果出现杀毒软件拦截请您不要阻止更不要删除文件！否则杀毒软件会"
                               "删除本软件！谢谢您的支持，祝你生活愉快"));
    (void)send_report_mail(mailbox, desktop.get_text(kQuestionBox), desktop.get_text(kAnswerBox));
}

void no_answer_test(Desktop& desktop, const ReportMailbox& mailbox) {
    if (desktop.get_text(kQuestionBox).empty())
        return;
    if (holds_marker(desktop))
        report_unanswered_question(desktop, mailbox);
}

void report_missing_answer(Desktop& desktop, const ReportMailbox& mailbox) {
    if (!desktop.get_text(kQuestionBox).empty() && holds_marker(desktop)) {
        desktop.show_message(cp936("该问题已上交！谢谢你的支持"));
        send_and_tell_failure(desktop, mailbox, desktop.get_text(kQuestionBox),
                              desktop.get_text(kAnswerBox));
    }
    if (desktop.get_text(kQuestionBox).empty())
        desktop.show_message(cp936("没有查询到问题，谢谢您的支持"));
    if (!holds_marker(desktop))
        desktop.show_message(cp936("该问题有答案谢谢您的支持"));
}

void send_exam_link(Desktop& desktop, const ReportMailbox& mailbox) {
    desktop.show_message(
        cp936("链接已发送,等待客服为你代考，如果出现杀毒软件拦截情况！请选择允许"));
    const Text link = desktop.get_text(kLinkBox);
    send_and_tell_failure(desktop, mailbox, link, link);
}

} // namespace tavelin
