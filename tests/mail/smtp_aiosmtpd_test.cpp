// Report mails through the mail client to a real SMTP server (Debian's aiosmtpd), read back
// with Python's email package.

#include "mail/aiosmtpd_process.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"
#include "support/support.h"
#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

namespace tavelin {
namespace {

const std::string kMailbox = "report@tavelin.example";
const std::string kPassword = "315942";

std::string from_hex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

class ReportMailServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(outdir_.empty()); }
    void TearDown() override { smtp_quit(); }

    void start(const std::vector<std::string>& extra_args = {}) {
        server_ = std::make_unique<test::AiosmtpdProcess>(test::source_dir() +
                                                              "/tests/mail/aiosmtpd_server.py",
                                                          kMailbox, kPassword, outdir_, extra_args);
        ASSERT_GT(server_->port(), 0) << "aiosmtpd did not start";
    }

    // Sends a report mail as the program does: a new connection with login, the mailbox as
    // To, Bcc and From.
    Text send_report(const Text& subject, const Text& body) {
        smtp_connect("127.0.0.1", server_->port(), kMailbox, kPassword, 2000);
        return smtp_send_mail(subject, body, kMailbox, std::nullopt, kMailbox, kMailbox);
    }

    // What Python's email package reads in the n-th message received (1-based), UTF-8.
    std::map<std::string, std::string> received(int n) {
        const std::string command = "/usr/bin/python3 " + test::source_dir() +
                                    "/tests/mail/read_mail.py " + outdir_ + "/" +
                                    std::to_string(n) + ".eml";
        std::map<std::string, std::string> facts;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return facts;
        }
        char line[65536];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n') {
                text.pop_back();
            }
            const auto eq = text.find('=');
            if (eq != std::string::npos) {
                facts[text.substr(0, eq)] = from_hex(text.substr(eq + 1));
            }
        }
        ::pclose(pipe);
        return facts;
    }

    test::TempDir temp_{"tavelin-mail"};
    const std::string outdir_ = temp_.path();
    std::unique_ptr<test::AiosmtpdProcess> server_;
};

TEST_F(ReportMailServer, UnansweredQuestionArrivesWithLoginAndDecodes) {
    for (const char* mechanism : {"LOGIN", "PLAIN"}) {
        SCOPED_TRACE(mechanism);
        start({"--only", mechanism});
        const std::string question = "以下哪种行为属于违规？（单选）";
        EXPECT_EQ(send_report(cp936(question), "    "), "");
        smtp_quit();
        server_.reset();

        auto mail = received(1);
        EXPECT_EQ(mail["login"], kMailbox);
        EXPECT_EQ(mail["password"], kPassword);
        EXPECT_EQ(mail["mechanism"], mechanism);
        EXPECT_EQ(mail["mail_from"], kMailbox);
        EXPECT_EQ(mail["rcpt_tos"], kMailbox + "," + kMailbox);
        EXPECT_EQ(mail["from"], kMailbox);
        EXPECT_EQ(mail["to"], kMailbox);
        EXPECT_EQ(mail["reply-to"], kMailbox);
        EXPECT_EQ(mail["header_names"], "From,To,Subject,Date,Reply-To,MIME-Version,Content-type,"
                                        "Content-Transfer-Encoding");
        EXPECT_EQ(mail["bcc"], "");
        EXPECT_EQ(mail["subject"], question);
        EXPECT_EQ(mail["raw_subject"].rfind("=?gb2312?B?", 0), 0u);
        EXPECT_EQ(mail["date_ok"], "yes");
        EXPECT_EQ(mail["content_type"], "text/plain");
        EXPECT_EQ(mail["charset"], "us-ascii");
        EXPECT_EQ(mail["transfer_encoding"], "base64");
        EXPECT_EQ(mail["body"].substr(0, 4), "    ");
        EXPECT_EQ(mail["body"].find_first_not_of(" \r\n"), std::string::npos);
        std::filesystem::remove_all(outdir_);
        std::filesystem::create_directory(outdir_);
    }
}

TEST_F(ReportMailServer, AsciiLinkGoesOutUnencoded) {
    start();
    const std::string link = "https://exam.tavelin.example/exam/paper?id=20261211&token=a_b-c";
    EXPECT_EQ(send_report(link, link), "");
    smtp_quit();
    auto mail = received(1);
    EXPECT_EQ(mail["raw_subject"], link);
    EXPECT_EQ(mail["subject"], link);
    EXPECT_EQ(mail["charset"], "us-ascii");
    EXPECT_EQ(mail["body"].substr(0, link.size()), link);
}

TEST_F(ReportMailServer, EmptyLinkSendsEmptySubjectAndBody) {
    start();
    EXPECT_EQ(send_report("", ""), "");
    smtp_quit();
    auto mail = received(1);
    EXPECT_EQ(mail["subject"], "");
    EXPECT_EQ(mail["body"].find_first_not_of("\r\n"), std::string::npos);
    EXPECT_EQ(mail["rcpt_tos"], kMailbox + "," + kMailbox);
}

TEST_F(ReportMailServer, LongChineseSubjectAndBodyDecodeIntact) {
    start();
    const std::string subject = "根据平台规则，卖家在发布商品时如果使用了与商品实际情况不符的"
                                "描述或者图片，平台将如何处理该商品以及卖家的账户？（多选题）";
    std::string body;
    for (int i = 0; i < 20; ++i) {
        body += "第" + std::to_string(i) + "行：答案未收录。\r\n";
    }
    EXPECT_EQ(send_report(cp936(subject), cp936(body)), "");
    smtp_quit();
    auto mail = received(1);
    EXPECT_EQ(mail["subject"], subject);
    EXPECT_NE(mail["raw_subject"].find("\r\n "), std::string::npos); // folded
    EXPECT_EQ(mail["charset"], "gb2312");
    EXPECT_EQ(mail["body"].substr(0, body.size()), body);
}

TEST_F(ReportMailServer, WrongPasswordFailsTheLoginAndTheSend) {
    start();
    EXPECT_FALSE(smtp_connect("127.0.0.1", server_->port(), kMailbox, "000000", 2000));
    EXPECT_EQ(smtp_last_error(), cp936("登录指定SMTP邮件服务器“127.0.0.1”失败!"));
    EXPECT_EQ(smtp_send_mail("q", "    ", kMailbox, std::nullopt, kMailbox, kMailbox),
              cp936("未连接到SMTP服务器!"));
}

TEST_F(ReportMailServer, TwoReportsInARowEachArrive) {
    start();
    EXPECT_EQ(send_report(cp936("第一题"), "    "), "");
    EXPECT_EQ(send_report(cp936("第二题"), "    "), "");
    smtp_quit();
    EXPECT_EQ(received(1)["subject"], "第一题");
    EXPECT_EQ(received(2)["subject"], "第二题");
}

} // namespace
} // namespace tavelin
