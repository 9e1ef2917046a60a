#include "support/smtp_script_server.h"

#include "support/loopback.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavelin::test {

namespace {

// The stop flag is looked at this often while the server waits.
constexpr int kSliceMs = 50;

bool send_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

bool starts_with_quit(const std::string& line) {
    if (line.size() < 4) {
        return false;
    }
    std::string head = line.substr(0, 4);
    for (char& c : head) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return head == "QUIT";
}

} // namespace

SmtpScriptServer::SmtpScriptServer(std::vector<std::vector<SmtpStep>> scripts)
    : scripts_(std::move(scripts)) {
    listener_ = listen_on_loopback(port_, 8);
    if (listener_ >= 0) {
        thread_ = std::thread([this] { run(); });
    }
}

SmtpScriptServer::~SmtpScriptServer() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

std::string SmtpScriptServer::received(std::size_t index, int wait_ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                      [&] { return index < ended_.size() && ended_[index]; });
    return index < received_.size() ? received_[index] : std::string();
}

std::size_t SmtpScriptServer::connection_count() {
    std::lock_guard lock(mutex_);
    return received_.size();
}

void SmtpScriptServer::run() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) {
            continue;
        }
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        std::size_t index = 0;
        {
            std::lock_guard lock(mutex_);
            index = received_.size();
            received_.emplace_back();
            ended_.push_back(false);
        }
        serve(fd, index < scripts_.size() ? &scripts_[index] : nullptr, index);
        ::close(fd);
        {
            std::lock_guard lock(mutex_);
            ended_[index] = true;
        }
        changed_.notify_all();
    }
}

void SmtpScriptServer::serve(int fd, const std::vector<SmtpStep>* script, std::size_t index) {
    if (script == nullptr) {
        return;
    }
    std::size_t next = 0;
    bool in_data = false;
    // Plays the next step for the unit just received (or the greeting); false ends the
    // connection.
    const auto play = [&](const std::string& unit) {
        if (next >= script->size()) {
            if (starts_with_quit(unit)) {
                send_all(fd, "221 Bye\r\n");
                return false;
            }
            return send_all(fd, "500 Out of script\r\n");
        }
        const SmtpStep& step = (*script)[next++];
        switch (step.kind) {
        case SmtpStep::Kind::HangUp:
            return false;
        case SmtpStep::Kind::Reset: {
            // Lingering for no time makes close() send a reset.
            const linger abort{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return false;
        }
        case SmtpStep::Kind::Silent:
            return true;
        case SmtpStep::Kind::Reply:
            in_data = step.bytes.rfind("354", 0) == 0;
            return send_all(fd, step.bytes);
        }
        return false;
    };
    if (!play(std::string())) {
        return;
    }
    std::string pending;
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            received_[index].append(buffer, static_cast<std::size_t>(got));
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (;;) {
            std::size_t end = std::string::npos;
            if (in_data) {
                // The end of the data may also follow the header's empty line directly.
                const std::size_t mark = pending.find("\r\n.\r\n");
                end = mark == std::string::npos ? mark : mark + 5;
                if (end == std::string::npos && pending.rfind(".\r\n", 0) == 0) {
                    end = 3;
                }
            } else {
                const std::size_t eol = pending.find('\n');
                end = eol == std::string::npos ? eol : eol + 1;
            }
            if (end == std::string::npos) {
                break;
            }
            const std::string unit = pending.substr(0, end);
            pending.erase(0, end);
            in_data = false;
            if (!play(unit)) {
                return;
            }
        }
    }
}

int unused_loopback_port() {
    int port = 0;
    const int fd = listen_on_loopback(port, 8);
    if (fd < 0) {
        return 0;
    }
    ::close(fd);
    return port;
}

} // namespace tavelin::test
