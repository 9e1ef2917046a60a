#include "exam/catalogue.h"
#include "exam/controls.h"
#include "exam/lookup.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"
#include "support/fake_desktop.h"
#include "support/smtp_script_server.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

using test::FakeDesktop;
using test::smtp_reply;
using test::SmtpScriptServer;

// One mail accepted after a LOGIN login: the replies to greeting, EHLO, the two login steps,
// MAIL FROM, RCPT TO (To and Bcc), DATA and the data.
std::vector<test::SmtpStep> accepting_script() {
    return {
        smtp_reply("220 ready\r\n"),        smtp_reply("250-mail.test\r\n250 AUTH LOGIN PLAIN\r\n"),
        smtp_reply("334 VXNlcm5hbWU6\r\n"), smtp_reply("334 UGFzc3dvcmQ6\r\n"),
        smtp_reply("235 ok\r\n"),           smtp_reply("250 ok\r\n"),
        smtp_reply("250 ok\r\n"),           smtp_reply("250 ok\r\n"),
        smtp_reply("354 go on\r\n"),        smtp_reply("250 queued\r\n")};
}

ReportMailbox local_mailbox(int port) {
    return {.server = "127.0.0.1",
            .address = "report@tavelin.example",
            .password = "315942",
            .port = port,
            .reply_timeout_ms = 2000};
}

// The desktop with the question box's handler bound, as the program binds it.
struct ReportsTest : ::testing::Test {
    void use_server(int port) {
        mailbox = local_mailbox(port);
        desktop.on_content_changed(kQuestionBox, [this] { lookup_answer(desktop, mailbox); });
        desktop.on_click(kReportButton, [this] { report_missing_answer(desktop, mailbox); });
        desktop.on_click(kSendLinkButton, [this] { send_exam_link(desktop, mailbox); });
    }
    void TearDown() override { smtp_quit(); }

    FakeDesktop desktop;
    ReportMailbox mailbox;
};

const Text kUnknown = cp936("这道题目在答案库里找不到吗？");
const Text kUnknown2 = cp936("另一道没有答案的题目？");
const Text kKnown = cp936("以下不能发布在护肤品类目下的商品是？");

TEST_F(ReportsTest, ReportButtonRightAfterStartShowsTwoMessagesAndSendsNothing) {
    SmtpScriptServer server({});
    use_server(server.port());
    desktop.click(kReportButton);
    EXPECT_EQ(desktop.messages(), (std::vector<Text>{cp936("没有查询到问题，谢谢您的支持"),
                                                     cp936("该问题有答案谢谢您的支持")}));
    EXPECT_EQ(server.connection_count(), 0u);
}

TEST_F(ReportsTest, ReportButtonMessagesFollowTheBoxes) {
    SmtpScriptServer server({});
    use_server(server.port());

    desktop.set_text(kQuestionBox, ""); // emptied by Next question: the marker
    EXPECT_EQ(desktop.get_text(kAnswerBox), kNoAnswerMarker);
    desktop.click(kReportButton);
    EXPECT_EQ(desktop.messages(), (std::vector<Text>{cp936("没有查询到问题，谢谢您的支持")}));

    desktop.append_text(kQuestionBox, kKnown); // an answered question
    desktop.click(kReportButton);
    EXPECT_EQ(desktop.messages().back(), cp936("该问题有答案谢谢您的支持"));
    EXPECT_EQ(desktop.messages().size(), 2u);
    EXPECT_EQ(server.connection_count(), 0u);
}

TEST_F(ReportsTest, UnansweredQuestionIsAnnouncedThenMailed) {
    SmtpScriptServer server({accepting_script(), accepting_script()});
    use_server(server.port());
    desktop.set_text(kQuestionBox, "");
    desktop.append_text(kQuestionBox, kUnknown);

    ASSERT_EQ(desktop.messages().size(), 1u);
    EXPECT_EQ(desktop.messages()[0],
              cp936("哦！！对不起,IM sorry，本题没有答案！我即将发送问题至数据库!如果出现杀毒软件"
                    "拦截请您不要阻止更不要删除文件！否则杀毒软件会删除本软件！"
                    "谢谢您的支持，祝你生活愉快"));

    // By hand as well: announced, then a second mail on a connection of its own.
    desktop.click(kReportButton);
    EXPECT_EQ(desktop.messages().back(), cp936("该问题已上交！谢谢你的支持"));
    smtp_quit();
    ASSERT_EQ(server.connection_count(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string sent = server.received(i);
        SCOPED_TRACE(sent);
        EXPECT_NE(sent.find("MAIL FROM:<report@tavelin.example>\r\n"), std::string::npos);
        EXPECT_NE(sent.find("Subject: =?gb2312?B?"), std::string::npos);
        EXPECT_NE(sent.find("charset=\"us-ascii\""), std::string::npos);
        EXPECT_NE(sent.find("\r\n\r\nICAgIA==\r\n"), std::string::npos); // four spaces
    }
    EXPECT_EQ(server.received(0).find("QUIT"), server.received(0).size() - 6);
}

TEST_F(ReportsTest, SecondUnansweredAppendReportsBothTogether) {
    SmtpScriptServer server({accepting_script(), accepting_script()});
    use_server(server.port());
    desktop.set_text(kQuestionBox, "");
    desktop.append_text(kQuestionBox, kUnknown);
    desktop.append_text(kQuestionBox, kUnknown2);
    smtp_quit();

    EXPECT_EQ(desktop.messages().size(), 2u);
    ASSERT_EQ(server.connection_count(), 2u);
    const std::string first = server.received(0), second = server.received(1);
    EXPECT_LT(first.find("Subject:"), first.find("Date:"));
    // The second subject encodes the joined text, so it is longer than the first.
    auto subject_length = [](const std::string& s) { return s.find("Date:") - s.find("Subject:"); };
    EXPECT_GT(subject_length(second), subject_length(first));
}

TEST_F(ReportsTest, UnmatchedChangeWhileAnAnswerIsShownReportsNothing) {
    SmtpScriptServer server({});
    use_server(server.port());
    desktop.set_text(kQuestionBox, "");
    desktop.append_text(kQuestionBox, kKnown);
    const Text answer = desktop.get_text(kAnswerBox);
    desktop.append_text(kQuestionBox, kUnknown);
    EXPECT_EQ(desktop.get_text(kAnswerBox), answer);
    EXPECT_TRUE(desktop.messages().empty());
    EXPECT_EQ(server.connection_count(), 0u);
}

TEST_F(ReportsTest, SendLinkWithEmptyLinkBoxMailsEmptySubjectAndBody) {
    SmtpScriptServer server({accepting_script()});
    use_server(server.port());
    desktop.click(kSendLinkButton);
    smtp_quit();
    EXPECT_EQ(desktop.messages(),
              (std::vector<Text>{
                  cp936("链接已发送,等待客服为你代考，如果出现杀毒软件拦截情况！请选择允许")}));
    const std::string sent = server.received(0);
    EXPECT_NE(sent.find("Subject: \r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\n\r\n\r\n.\r\n"), std::string::npos) << sent;
}

TEST_F(ReportsTest, SendLinkMailsTheLinkUnencoded) {
    SmtpScriptServer server({accepting_script()});
    use_server(server.port());
    const Text link = "http://exam.tavelin.example/exam/exam-1-7.htm?spm=x";
    desktop.type_text(kLinkBox, link);
    desktop.click(kSendLinkButton);
    smtp_quit();
    EXPECT_EQ(desktop.messages().size(), 1u); // no failure message
    EXPECT_NE(server.received(0).find("Subject: " + link + "\r\n"), std::string::npos);
}

TEST_F(ReportsTest, FailedMailAfterTheAnnouncementIsToldToTheUser) {
    use_server(test::unused_loopback_port());
    desktop.click(kSendLinkButton);
    const std::vector<Text> shown = desktop.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].rfind(cp936("发送失败："), 0), 0u);
    EXPECT_GT(shown[1].size(), cp936("发送失败：").size());
}

TEST_F(ReportsTest, FailedAutomaticReportStaysSilent) {
    use_server(test::unused_loopback_port());
    desktop.set_text(kQuestionBox, "");
    desktop.append_text(kQuestionBox, kUnknown);
    EXPECT_EQ(desktop.messages().size(), 1u);
}

} // namespace
} // namespace tavelin
