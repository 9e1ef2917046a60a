// Twenty report mails, each on a new connection with login, to a local aiosmtpd: through our
// client, and through Python's smtplib in the same run. Prints both times and their ratio.

#include "mail/aiosmtpd_process.h"
#include "mail/smtp.h"
#include "runtime/codepage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tavelin;

const std::string kMailbox = "report@tavelin.example";
const std::string kPassword = "315942";
constexpr int kMails = 20;
constexpr int kRounds = 7;

double our_client(int port, const Text& subject) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMails; ++i) {
        smtp_connect("127.0.0.1", port, kMailbox, kPassword, 2000);
        if (!smtp_send_mail(subject, "    ", kMailbox, std::nullopt, kMailbox, kMailbox).empty()) {
            std::fprintf(stderr, "our client: a mail failed\n");
            std::exit(1);
        }
    }
    smtp_quit();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double python_smtplib(int port, const Text& subject) {
    std::string hex;
    for (unsigned char c : subject) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    const std::string command = "/usr/bin/python3 " TAVELIN_SOURCE_DIR
                                "/bench/mail/smtplib_send.py " +
                                std::to_string(port) + " " + kMailbox + " " + kPassword + " " +
                                std::to_string(kMails) + " " + hex;
    FILE* pipe = ::popen(command.c_str(), "r");
    double seconds = -1;
    if (pipe == nullptr || std::fscanf(pipe, "%lf", &seconds) != 1) {
        std::fprintf(stderr, "smtplib: no time reported\n");
        std::exit(1);
    }
    ::pclose(pipe);
    return seconds;
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
    std::vector<double> ours, theirs;
    // Rounds alternate so that both meet the server in the same state; the first warms it up.
    our_client(server.port(), subject);
    for (int round = 0; round < kRounds; ++round) {
        ours.push_back(our_client(server.port(), subject));
        theirs.push_back(python_smtplib(server.port(), subject));
    }
    const double a = median(ours);
    const double b = median(theirs);
    std::printf("%d report mails, each on a new connection with login, median of %d rounds\n",
                kMails, kRounds);
    std::printf("our client:      %7.2f ms (%.2f ms a mail)\n", a * 1e3, a * 1e3 / kMails);
    std::printf("Python smtplib:  %7.2f ms (%.2f ms a mail)\n", b * 1e3, b * 1e3 / kMails);
    std::printf("ratio ours/smtplib: %.2f (goal: 1.00 or less)\n", a / b);
    return 0;
}
