// The mail client's dialogue against a scripted loopback server: exact bytes sent, and every
// way a connect or a send can fail.

#include "mail/smtp.h"
#include "runtime/codepage.h"
#include "support/smtp_script_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tavelin {
namespace {

using test::smtp_hang_up;
using test::smtp_reply;
using test::smtp_reset;
using test::smtp_silent;
using test::SmtpScriptServer;
using test::SmtpStep;

const std::string kAccount = "report@tavelin.example";
const std::string kAccountBase64 = "cmVwb3J0QHRhdmVsaW4uZXhhbXBsZQ==";
const std::string kPassword = "315942";
const std::string kPasswordBase64 = "MzE1OTQy";
// Base64 of a zero byte, the account, a zero byte and the password.
const std::string kPlainBase64 = "AHJlcG9ydEB0YXZlbGluLmV4YW1wbGUAMzE1OTQy";
// Short, so that the waits of the failure cases stay short.
constexpr int kTimeoutMs = 300;

std::string host_name() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name[0] != '\0' ? name : "localhost";
}

// The bytes with the Date header's value replaced by "<date>".
std::string without_date(std::string bytes) {
    const std::size_t at = bytes.find("\r\nDate: ");
    if (at != std::string::npos) {
        const std::size_t start = at + 8;
        bytes.replace(start, bytes.find("\r\n", start) - start, "<date>");
    }
    return bytes;
}

// The Date header's value in the bytes.
std::string date_of(const std::string& bytes) {
    const std::size_t at = bytes.find("\r\nDate: ");
    if (at == std::string::npos) {
        return "";
    }
    return bytes.substr(at + 8, bytes.find("\r\n", at + 8) - (at + 8));
}

// True when the date has the form "Thu, 05 Dec 2024 09:07:03 +0800".
bool is_mail_date(const std::string& date) {
    const std::string form = "Aaa, 00 Aaa 0000 00:00:00 +0000";
    if (date.size() != form.size()) {
        return false;
    }
    for (std::size_t i = 0; i < form.size(); ++i) {
        const char c = date[i];
        const bool ok = form[i] == 'A'   ? c >= 'A' && c <= 'Z'
                        : form[i] == 'a' ? c >= 'a' && c <= 'z'
                        : form[i] == '0' ? c >= '0' && c <= '9'
                        : form[i] == '+' ? c == '+' || c == '-'
                                         : c == form[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The dialogue of a connect with the account and password up to the login's end.
std::vector<SmtpStep> login_steps() {
    return {smtp_reply("220 mail.test ESMTP\r\n"),
            smtp_reply("250-mail.test\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n"),
            smtp_reply("334 VXNlcm5hbWU6\r\n"), smtp_reply("334 UGFzc3dvcmQ6\r\n"),
            smtp_reply("235 2.7.0 Authentication successful\r\n")};
}

std::string login_bytes() {
    return "EHLO " + host_name() + "\r\nAUTH LOGIN\r\n" + kAccountBase64 + "\r\n" +
           kPasswordBase64 + "\r\n";
}

// Greeting and HELO, for a connect without credentials.
std::vector<SmtpStep> helo_steps() {
    return {smtp_reply("220 mail.test ESMTP\r\n"), smtp_reply("250 mail.test\r\n")};
}

std::vector<SmtpStep> with(std::vector<SmtpStep> steps, const std::vector<SmtpStep>& more) {
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

const std::vector<SmtpStep> kAcceptOneRecipient = {
    smtp_reply("250 2.1.0 Ok\r\n"), smtp_reply("250 2.1.5 Ok\r\n"),
    smtp_reply("354 End data with <CR><LF>.<CR><LF>\r\n"), smtp_reply("250 2.0.0 Ok: queued\r\n")};

bool connect_to(const SmtpScriptServer& server, bool with_login = false) {
    if (with_login) {
        return smtp_connect("127.0.0.1", server.port(), kAccount, kPassword, kTimeoutMs);
    }
    return smtp_connect("127.0.0.1", server.port(), std::nullopt, std::nullopt, kTimeoutMs);
}

Text send_simple(const std::string& to = "to@x.test") {
    return smtp_send_mail("hello", "body", to, std::nullopt, std::nullopt, "from@x.test");
}

class SmtpClient : public ::testing::Test {
protected:
    void TearDown() override { smtp_quit(); }
};

TEST_F(SmtpClient, ReportMailDialogueSendsExactBytes) {
    SmtpScriptServer server({with(
        login_steps(), {smtp_reply("250 2.1.0 Ok\r\n"), smtp_reply("250 2.1.5 Ok\r\n"),
                        smtp_reply("250 2.1.5 Ok\r\n"), smtp_reply("250 2.1.5 Ok\r\n"),
                        smtp_reply("354 Go ahead\r\n"), smtp_reply("250 2.0.0 Ok: queued\r\n")})});
    ASSERT_TRUE(connect_to(server, true));
    EXPECT_EQ(smtp_last_error(), "");
    EXPECT_EQ(smtp_send_mail(cp936("没有答案的问题"), cp936("答案"), cp936("客服 <to@x.test>"),
                             "cc@x.test", "bcc@x.test", kAccount),
              "");
    EXPECT_EQ(smtp_last_error(), "");
    smtp_quit();

    const std::string sent = server.received(0);
    EXPECT_EQ(without_date(sent), login_bytes() + "MAIL FROM:<report@tavelin.example>\r\n"
                                                  "RCPT TO:<to@x.test>\r\n"
                                                  "RCPT TO:<cc@x.test>\r\n"
                                                  "RCPT TO:<bcc@x.test>\r\n"
                                                  "DATA\r\n"
                                                  "From: report@tavelin.example\r\n"
                                                  "To: =?gb2312?B?v823/g==?= <to@x.test>\r\n"
                                                  "Cc: cc@x.test\r\n"
                                                  "Subject: =?gb2312?B?w7vT0LTwsLi1xM7KzOI=?=\r\n"
                                                  "Date: <date>\r\n"
                                                  "Reply-To: report@tavelin.example\r\n"
                                                  "MIME-Version: 1.0\r\n"
                                                  "Content-type: text/plain; charset=\"gb2312\"\r\n"
                                                  "Content-Transfer-Encoding: base64\r\n"
                                                  "\r\n"
                                                  "tPCwuA==\r\n"
                                                  "\r\n.\r\n"
                                                  "QUIT\r\n");
    EXPECT_TRUE(is_mail_date(date_of(sent))) << date_of(sent);
}

TEST_F(SmtpClient, LogsInAsTheEhloReplyOffers) {
    const std::string ehlo = "EHLO " + host_name() + "\r\n";
    const std::string login = "AUTH LOGIN\r\n" + kAccountBase64 + "\r\n" + kPasswordBase64 + "\r\n";
    const std::vector<SmtpStep> login_replies = {smtp_reply("334 VXNlcm5hbWU6\r\n"),
                                                 smtp_reply("334 UGFzc3dvcmQ6\r\n"),
                                                 smtp_reply("235 ok\r\n")};
    const struct {
        const char* name;
        std::string ehlo_reply;
        std::vector<SmtpStep> after;
        std::string expected;
    } cases[] = {
        {"LOGIN listed after PLAIN", "250-mail.test\r\n250 AUTH PLAIN LOGIN\r\n", login_replies,
         ehlo + login},
        {"keyword and mechanism in small letters", "250-mail.test\r\n250-auth login\r\n250 OK\r\n",
         login_replies, ehlo + login},
        {"only the old AUTH=LOGIN line", "250-mail.test\r\n250-AUTH=LOGIN PLAIN\r\n250 SIZE\r\n",
         login_replies, ehlo + login},
        {"PLAIN only",
         "250-mail.test\r\n250 AUTH PLAIN CRAM-MD5\r\n",
         {smtp_reply("334 \r\n"), smtp_reply("235 ok\r\n")},
         ehlo + "AUTH PLAIN\r\n" + kPlainBase64 + "\r\n"},
        {"no mechanism it knows", "250-mail.test\r\n250 AUTH CRAM-MD5 XOAUTH2\r\n", {}, ehlo},
        {"no AUTH line", "250-mail.test\r\n250 8BITMIME\r\n", {}, ehlo},
        {"EHLO refused, so HELO",
         "502 5.5.2 Error: command not recognized\r\n",
         {smtp_reply("250 mail.test\r\n")},
         ehlo + "HELO " + host_name() + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpScriptServer server(
            {with({smtp_reply("220 mail.test ESMTP\r\n"), smtp_reply(c.ehlo_reply)}, c.after)});
        EXPECT_TRUE(connect_to(server, true));
        EXPECT_EQ(smtp_last_error(), "");
        smtp_quit();
        EXPECT_EQ(server.received(0), c.expected + "QUIT\r\n");
    }
}

TEST_F(SmtpClient, GreetsWithHeloWithoutBothCredentials) {
    const std::string helo = "HELO " + host_name() + "\r\n";
    for (const auto& [account, password] :
         {std::pair<const char*, const char*>{"", ""}, {kAccount.c_str(), ""}, {"", "315942"}}) {
        SCOPED_TRACE(std::string(account) + "/" + password);
        SmtpScriptServer server({helo_steps()});
        EXPECT_TRUE(smtp_connect("127.0.0.1", server.port(), account, password, kTimeoutMs));
        smtp_quit();
        EXPECT_EQ(server.received(0), helo + "QUIT\r\n");
    }
}

TEST_F(SmtpClient, RefusedLoginEndsTheConnectionWithQuitAndFails) {
    const Text failure = cp936("登录指定SMTP邮件服务器“127.0.0.1”失败!");
    const struct {
        const char* name;
        std::vector<SmtpStep> steps;
        std::string expected;
    } cases[] = {
        {"password refused", with(login_steps(), {}), login_bytes()},
        {"AUTH LOGIN refused",
         {smtp_reply("220 mail.test\r\n"), smtp_reply("250 AUTH LOGIN\r\n"),
          smtp_reply("504 5.5.4 Unrecognized authentication type\r\n")},
         "EHLO " + host_name() + "\r\nAUTH LOGIN\r\n"},
        {"account refused",
         {smtp_reply("220 mail.test\r\n"), smtp_reply("250 AUTH LOGIN\r\n"),
          smtp_reply("334 VXNlcm5hbWU6\r\n"), smtp_reply("535 5.7.8 No such account\r\n")},
         "EHLO " + host_name() + "\r\nAUTH LOGIN\r\n" + kAccountBase64 + "\r\n"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        if (c.steps.size() == login_steps().size()) {
            c.steps.back() = smtp_reply("535 5.7.8 Authentication credentials invalid\r\n");
        }
        SmtpScriptServer server({c.steps});
        EXPECT_FALSE(connect_to(server, true));
        EXPECT_EQ(smtp_last_error(), failure);
        EXPECT_EQ(server.received(0), c.expected + "QUIT\r\n");
        EXPECT_EQ(send_simple(), cp936("未连接到SMTP服务器!"));
    }
}

TEST_F(SmtpClient, ConnectFailsWithoutAGreetingOrHelo) {
    const Text failure = cp936("连接指定SMTP邮件服务器“127.0.0.1”失败!");
    const struct {
        const char* name;
        std::vector<SmtpStep> steps;
    } cases[] = {
        {"silent server", {smtp_silent()}},
        {"greeting refuses", {smtp_reply("554 5.3.2 Too busy\r\n")}},
        {"hangs up at once", {smtp_hang_up()}},
        {"greeting is no reply", {smtp_reply("Welcome!\r\n")}},
        {"greeting unfinished", {smtp_reply("220-mail.test\r\n220-still\r\n")}},
        {"HELO refused", {smtp_reply("220 mail.test\r\n"), smtp_reply("501 5.5.4 No\r\n")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpScriptServer server({c.steps});
        EXPECT_FALSE(connect_to(server));
        EXPECT_EQ(smtp_last_error(), failure);
        EXPECT_EQ(send_simple(), cp936("未连接到SMTP服务器!"));
    }
}

TEST_F(SmtpClient, ConnectFailureMakesTheNextSendFailAtOnce) {
    EXPECT_FALSE(smtp_connect("127.0.0.1", test::unused_loopback_port(), kAccount, kPassword));
    EXPECT_EQ(smtp_last_error(), cp936("连接指定SMTP邮件服务器“127.0.0.1”失败!"));
    EXPECT_EQ(send_simple(), cp936("未连接到SMTP服务器!"));
    EXPECT_EQ(smtp_last_error(), cp936("未连接到SMTP服务器!"));

    EXPECT_FALSE(smtp_connect(""));
    EXPECT_EQ(smtp_last_error(), cp936("连接指定SMTP邮件服务器“”失败!"));
    EXPECT_EQ(send_simple(), cp936("未连接到SMTP服务器!"));
}

// A listener that never accepts, with its one-place queue taken: the kernel drops further SYNs,
// so a connect to it hangs as one to an unreachable host does.
class FullListener {
public:
    FullListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (::bind(listener_, raw, sizeof address) == 0 && ::listen(listener_, 0) == 0 &&
            ::getsockname(listener_, raw, &length) == 0 &&
            ::connect(filler_, raw, sizeof address) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~FullListener() {
        ::close(filler_);
        ::close(listener_);
    }
    [[nodiscard]] int port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    int port_ = 0;
};

TEST_F(SmtpClient, ConnectAttemptGivesUpAfterAbout20Seconds) {
    FullListener hanging;
    ASSERT_NE(hanging.port(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(smtp_connect("127.0.0.1", hanging.port(), kAccount, kPassword, kTimeoutMs));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(smtp_last_error(), cp936("连接指定SMTP邮件服务器“127.0.0.1”失败!"));
    EXPECT_GE(waited, std::chrono::seconds(19));
    EXPECT_LT(waited, std::chrono::seconds(30));
}

TEST_F(SmtpClient, RefusedRecipientGivesTheServerLineThenRset) {
    SmtpScriptServer server(
        {with(helo_steps(), with({smtp_reply("250 2.1.0 Ok\r\n"), smtp_reply("250 2.1.5 Ok\r\n"),
                                  smtp_reply("550 5.1.1 <nobody@x.test>: Recipient unknown\r\n"),
                                  smtp_reply("250 2.0.0 Flushed\r\n")},
                                 kAcceptOneRecipient))});
    ASSERT_TRUE(connect_to(server));
    EXPECT_EQ(send_simple("to@x.test, nobody@x.test"),
              "550 5.1.1 <nobody@x.test>: Recipient unknown");
    EXPECT_EQ(smtp_last_error(), "550 5.1.1 <nobody@x.test>: Recipient unknown");
    // The connection stays open and ready for the next mail.
    EXPECT_EQ(send_simple(), "");
    smtp_quit();
    const std::string sent = server.received(0);
    const std::string after_helo = sent.substr(sent.find("\r\n") + 2);
    EXPECT_EQ(after_helo.substr(0, after_helo.find("DATA")),
              "MAIL FROM:<from@x.test>\r\nRCPT TO:<to@x.test>\r\nRCPT TO:<nobody@x.test>\r\n"
              "RSET\r\nMAIL FROM:<from@x.test>\r\nRCPT TO:<to@x.test>\r\n");
}

TEST_F(SmtpClient, EveryFailureOfTheMailDialogueGivesItsTextAndRset) {
    const struct {
        const char* name;
        std::vector<SmtpStep> steps; // after HELO
        Text expected;
    } cases[] = {
        {"MAIL FROM refused",
         {smtp_reply("451 4.3.0 Try again later\r\n")},
         "451 4.3.0 Try again later"},
        {"DATA refused",
         {smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"), smtp_reply("503 5.5.1 No\r\n")},
         "503 5.5.1 No"},
        {"end of data refused",
         {smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"), smtp_reply("354 Go\r\n"),
          smtp_reply("554 5.7.1 Spam\r\n")},
         "554 5.7.1 Spam"},
        {"multi-line refusal gives its last line",
         {smtp_reply("250 Ok\r\n"),
          smtp_reply("550-5.1.1 No such user\r\n550 5.1.1 Try again\r\n")},
         "550 5.1.1 Try again"},
        {"silent after MAIL FROM", {smtp_silent()}, cp936("接收数据超时!")},
        {"silent after the data",
         {smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"), smtp_reply("354 Go\r\n"),
          smtp_silent()},
         cp936("接收数据超时!")},
        {"reply that is no reply",
         {smtp_reply("OK thanks\r\n")},
         cp936("SMTP邮件服务器返回失败信息!")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpScriptServer server(
            {with(with(helo_steps(), c.steps), {smtp_reply("250 Flushed\r\n")})});
        ASSERT_TRUE(connect_to(server));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(send_simple(), c.expected);
        const auto waited = std::chrono::steady_clock::now() - start;
        if (c.expected == cp936("接收数据超时!")) {
            // Not given up before the time-out, and not waiting much beyond it (the RSET's reply
            // is awaited as well).
            EXPECT_GE(waited, std::chrono::milliseconds(kTimeoutMs));
            EXPECT_LT(waited, std::chrono::milliseconds(2 * kTimeoutMs + 2000));
        }
        smtp_quit();
        const std::string sent = server.received(0);
        EXPECT_EQ(sent.substr(sent.size() - 12), "RSET\r\nQUIT\r\n");
    }
}

TEST_F(SmtpClient, ResetConnectionIsANetworkErrorThenASendFailure) {
    SmtpScriptServer server({with(helo_steps(), {smtp_reply("250 Ok\r\n"), smtp_reset()})});
    ASSERT_TRUE(connect_to(server));
    EXPECT_EQ(send_simple(), cp936("网络出错!"));
    EXPECT_EQ(send_simple(), cp936("发送数据失败!"));
}

TEST_F(SmtpClient, ServerHangingUpMidDialogueIsAFailedWait) {
    SmtpScriptServer server({with(helo_steps(), {smtp_reply("250 Ok\r\n"), smtp_hang_up()})});
    ASSERT_TRUE(connect_to(server));
    EXPECT_EQ(send_simple(), cp936("等待SMTP邮件服务器响应失败!"));
    EXPECT_EQ(server.received(0).substr(server.received(0).find("MAIL")),
              "MAIL FROM:<from@x.test>\r\nRCPT TO:<to@x.test>\r\n");
}

TEST_F(SmtpClient, SecondConnectEndsTheFirstConnectionWithQuit) {
    SmtpScriptServer server(
        {with(login_steps(), kAcceptOneRecipient), with(login_steps(), kAcceptOneRecipient)});
    ASSERT_TRUE(connect_to(server, true));
    EXPECT_EQ(smtp_send_mail("first", "1", kAccount, std::nullopt, std::nullopt, kAccount), "");
    ASSERT_TRUE(connect_to(server, true));
    const std::string first = server.received(0);
    EXPECT_EQ(first.substr(first.size() - 6), "QUIT\r\n");
    EXPECT_NE(first.find("Subject: first\r\n"), std::string::npos);
    EXPECT_EQ(smtp_send_mail("second", "2", kAccount, std::nullopt, std::nullopt, kAccount), "");
    smtp_quit();
    const std::string second = server.received(1);
    EXPECT_EQ(second.rfind(login_bytes(), 0), 0u);
    EXPECT_NE(second.find("Subject: second\r\n"), std::string::npos);
    EXPECT_EQ(second.find("Subject: first"), std::string::npos);
    EXPECT_EQ(second.substr(second.size() - 6), "QUIT\r\n");
    EXPECT_EQ(server.connection_count(), 2u);
}

TEST_F(SmtpClient, QuitEndsTheOpenConnectionOnce) {
    SmtpScriptServer server({helo_steps()});
    ASSERT_TRUE(connect_to(server));
    smtp_quit();
    smtp_quit();
    EXPECT_EQ(server.received(0), "HELO " + host_name() + "\r\nQUIT\r\n");
    EXPECT_EQ(send_simple(), cp936("未连接到SMTP服务器!"));
}

TEST_F(SmtpClient, MalformedAddressesFailBeforeAnythingIsSent) {
    const Text to_error = cp936("目的邮件地址格式错误!");
    const struct {
        const char* name;
        std::string to, cc, bcc, from, reply_to;
        Text expected;
    } cases[] = {
        {"To without >", "Jim <jim@x.test", "", "", "f@x.test", "", to_error},
        {"Cc without >", "a@x.test", "b@x.test; Bea <bea@x.test", "", "f@x.test", "", to_error},
        {"Bcc without >", "a@x.test", "", "<c@x.test", "f@x.test", "", to_error},
        {"> only before <", "a@x.test> <b@x.test", "", "", "f@x.test", "", to_error},
        {"From without >", "a@x.test", "", "", "Me <f@x.test", "",
         cp936("发信人邮件地址格式错误!")},
        {"Reply-To without >", "a@x.test", "", "", "f@x.test", "R <r@x.test",
         cp936("回复邮件地址格式错误!")},
        {"no recipient at all", " ; , ", "", ",", "f@x.test", "", cp936("未指定发送地址!")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpScriptServer server({helo_steps()});
        ASSERT_TRUE(connect_to(server));
        EXPECT_EQ(smtp_send_mail("s", "b", c.to, c.cc, c.bcc, c.from, c.reply_to), c.expected);
        EXPECT_EQ(smtp_last_error(), c.expected);
        smtp_quit();
        EXPECT_EQ(server.received(0), "HELO " + host_name() + "\r\nQUIT\r\n");
    }
}

TEST_F(SmtpClient, AddressListsSplitAtCommasAndSemicolonsWithDisplayNames) {
    SmtpScriptServer server({with(
        helo_steps(), {smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"),
                       smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"), smtp_reply("250 Ok\r\n"),
                       smtp_reply("354 Go\r\n"), smtp_reply("250 Ok\r\n")})});
    ASSERT_TRUE(connect_to(server));
    EXPECT_EQ(smtp_send_mail("s", "", cp936(" Ann  <a@x.test> ; b@x.test ,, 王五 <c@x.test>;"),
                             cp936("\xe3\x80\x80"
                                   "d@x.test\xe3\x80\x80"),
                             "Eve <e@x.test>", cp936("我 <me@x.test>"), "Reply Desk <desk@x.test>"),
              "");
    smtp_quit();
    const std::string sent = server.received(0);
    const std::string dialogue = sent.substr(0, sent.find("From: "));
    EXPECT_EQ(dialogue.substr(dialogue.find("MAIL")),
              "MAIL FROM:<me@x.test>\r\nRCPT TO:<a@x.test>\r\nRCPT TO:<b@x.test>\r\n"
              "RCPT TO:<c@x.test>\r\nRCPT TO:<d@x.test>\r\nRCPT TO:<e@x.test>\r\nDATA\r\n");
    EXPECT_EQ(without_date(sent.substr(sent.find("From: "))),
              "From: =?gb2312?B?ztI=?= <me@x.test>\r\n"
              "To: Ann <a@x.test>,b@x.test,=?gb2312?B?zfXO5Q==?= <c@x.test>\r\n"
              "Cc: d@x.test\r\n"
              "Subject: s\r\n"
              "Date: <date>\r\n"
              "Reply-To: Reply Desk <desk@x.test>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "\r\n"
              "\r\n.\r\n"
              "QUIT\r\n");
    EXPECT_EQ(sent.find("Eve"), std::string::npos);
}

TEST_F(SmtpClient, LineBreaksInSubjectOrAddressesStartNoHeaderLineOrCommand) {
    SmtpScriptServer server({with(helo_steps(), kAcceptOneRecipient)});
    ASSERT_TRUE(connect_to(server));
    EXPECT_EQ(smtp_send_mail("Hi\r\nBcc: spy@x.test", "b",
                             "Eve\r\nX-Injected: yes <to@x.test\r\nRCPT TO:<spy@x.test>>",
                             std::nullopt, std::nullopt, "from@x.test\nX-From: yes"),
              "");
    smtp_quit();
    const std::string sent = server.received(0);
    EXPECT_NE(sent.find("\r\nSubject: Hi  Bcc: spy@x.test\r\n"), std::string::npos);
    for (const char* forbidden : {"\r\nBcc:", "\r\nX-Injected", "\r\nX-From", "\nRCPT TO:<spy"}) {
        SCOPED_TRACE(forbidden);
        EXPECT_EQ(sent.find(forbidden), std::string::npos);
    }
    EXPECT_EQ(sent.find('\n', sent.find("MAIL FROM:<")), sent.find("\r\nRCPT") + 1);
}

TEST_F(SmtpClient, BodyGoesInBase64LinesOf76WithItsCharset) {
    const struct {
        const char* name;
        Text body;
        std::string charset;
        std::string lines;
    } cases[] = {
        {"four spaces", "    ", "us-ascii", "ICAgIA==\r\n"},
        {"empty", "", "us-ascii", ""},
        {"100 bytes make two lines", std::string(100, 'a'), "us-ascii",
         "YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFh\r\n"
         "YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYQ==\r\n"},
        {"Chinese", cp936("答案"), "gb2312", "tPCwuA==\r\n"},
        {"one high byte", "caf\xe9", "gb2312", "Y2Fm6Q==\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpScriptServer server({with(helo_steps(), kAcceptOneRecipient)});
        ASSERT_TRUE(connect_to(server));
        EXPECT_EQ(smtp_send_mail("s", c.body, "to@x.test", std::nullopt, std::nullopt, "f@x.test"),
                  "");
        smtp_quit();
        const std::string sent = server.received(0);
        const std::string tail = "charset=\"" + c.charset +
                                 "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + c.lines +
                                 "\r\n.\r\nQUIT\r\n";
        ASSERT_GE(sent.size(), tail.size());
        EXPECT_EQ(sent.substr(sent.size() - tail.size()), tail);
    }
}

} // namespace
} // namespace tavelin
