#pragma once
// Runs tests/mail/aiosmtpd_server.py (Debian's aiosmtpd, through /usr/bin/python3) as a child
// process for the lifetime of the object. Shared by the mail tests and the mail benchmark.

#include "support/child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tavelin::test {

class AiosmtpdProcess {
public:
    /// Starts the server demanding the account and password, saving messages into outdir;
    /// extra_args go to the script as they are (such as "--only", "PLAIN").
    AiosmtpdProcess(const std::string& script, const std::string& account,
                    const std::string& password, const std::string& outdir,
                    const std::vector<std::string>& extra_args = {}) {
        std::vector<std::string> args = {"/usr/bin/python3", script, account, password, outdir};
        args.insert(args.end(), extra_args.begin(), extra_args.end());
        const PipedChild child = spawn_piped(std::move(args));
        if (child.pid < 0)
            return;
        pid_ = child.pid;
        stdin_ = child.to_child;
        const int from_child = child.from_child;
        // The script prints its port once it listens; aiosmtpd takes a while to import.
        std::string line;
        for (;;) {
            pollfd p{from_child, POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0) {
                break;
            }
            char c = 0;
            if (::read(from_child, &c, 1) != 1 || c == '\n') {
                break;
            }
            line += c;
        }
        ::close(from_child);
        port_ = std::atoi(line.c_str());
    }

    ~AiosmtpdProcess() {
        if (stdin_ >= 0) {
            ::close(stdin_);
        }
        if (pid_ > 0) {
            // Closing its input ends it; the signal is for a server that hangs.
            for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
                if (i == 50) {
                    ::kill(pid_, SIGTERM);
                }
                ::usleep(20000);
            }
            if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
    }

    AiosmtpdProcess(const AiosmtpdProcess&) = delete;
    AiosmtpdProcess& operator=(const AiosmtpdProcess&) = delete;

    /// The port it listens on; 0 when it did not start.
    [[nodiscard]] int port() const { return port_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

} // namespace tavelin::test
