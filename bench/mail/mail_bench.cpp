// Twenty report mails, each on a new connection with login, to a local aiosmtpd: through our
// client and through Python's smtplib, taking turns mail by mail so that both meet the same
// server under the same load. Prints both times and their ratio.

#include "mail/aiosmtpd_process.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"
#include "support/child_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tavelin;

const std::string kMailbox = "report@tavelin.example";
const std::string kPassword = "315942";
constexpr int kMails = 20;
constexpr int kRounds = 9;

// smtplib_send.py as a child that sends one mail per line it reads and answers with the time.
class Smtplib {
public:
    Smtplib(int port, const Text& subject) {
        std::string hex;
        for (unsigned char c : subject) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", c);
            hex += two;
        }
        const test::PipedChild child =
            test::spawn_piped({"/usr/bin/python3", TAVELIN_SOURCE_DIR "/bench/mail/smtplib_send.py",
                               std::to_string(port), kMailbox, kPassword, hex});
        if (child.pid < 0)
            std::exit(1);
        pid_ = child.pid;
        to_ = ::fdopen(child.to_child, "w");
        from_ = ::fdopen(child.from_child, "r");
    }
    ~Smtplib() {
        std::fclose(to_);
        std::fclose(from_);
        ::waitpid(pid_, nullptr, 0);
    }
    double send_one() {
        std::fputs("send\n", to_);
        std::fflush(to_);
        double seconds = -1;
        if (std::fscanf(from_, "%lf", &seconds) != 1) {
            std::fprintf(stderr, "smtplib: no time reported\n");
            std::exit(1);
        }
        return seconds;
    }

private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

double our_one(int port, const Text& subject) {
    const auto start = std::chrono::steady_clock::now();
    smtp_connect("127.0.0.1", port, kMailbox, kPassword, 2000);
    const Text failure =
        smtp_send_mail(subject, "    ", kMailbox, std::nullopt, kMailbox, kMailbox);
    // Ending the connection is part of the mail, as it is for smtplib.
    smtp_quit();
    if (!failure.empty()) {
        std::fprintf(stderr, "our client: a mail failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    test::AiosmtpdProcess server(TAVELIN_SOURCE_DIR "/tests/mail/aiosmtpd_server.py", kMailbox,
                                 kPassword, "/tmp", {"--no-save"});
    if (server.port() == 0) {
        std::fprintf(stderr, "aiosmtpd did not start\n");
        return 1;
    }
    const Text subject = cp936("以下哪种行为属于违规？（单选）");
    Smtplib smtplib(server.port(), subject);
    our_one(server.port(), subject); // warm-up, both sides
    smtplib.send_one();
    std::vector<double> ours, theirs;
    for (int round = 0; round < kRounds; ++round) {
        double a = 0;
        double b = 0;
        for (int i = 0; i < kMails; ++i) {
            a += our_one(server.port(), subject);
            b += smtplib.send_one();
        }
        ours.push_back(a);
        theirs.push_back(b);
    }
    const double a = median(ours);
    const double b = median(theirs);
    std::printf("%d report mails, each on a new connection with login; median of %d rounds\n",
                kMails, kRounds);
    std::printf("our client:      %7.2f ms (%.2f ms a mail)\n", a * 1e3, a * 1e3 / kMails);
    std::printf("Python smtplib:  %7.2f ms (%.2f ms a mail)\n", b * 1e3, b * 1e3 / kMails);
    std::printf("ratio ours/smtplib: %.2f (goal: 1.00 or less)\n", a / b);
    return 0;
}
