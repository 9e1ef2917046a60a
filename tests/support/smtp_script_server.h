#pragma once
// A scripted SMTP server on 127.0.0.1 for protocol tests: it plays canned replies and records
// the exact bytes the client sent on each connection.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavelin::test {

/// What the server does at one point of a connection: the first step of a script comes right
/// after the connection is accepted (the greeting), each further step after one received line,
/// or after one whole data block ending in "\r\n.\r\n" once the server has replied 354.
struct SmtpStep {
    enum class Kind { Reply, Silent, HangUp, Reset };
    Kind kind = Kind::Reply;
    std::string bytes; ///< sent as they are for Reply, CRLFs included
};

/// Sends the bytes.
inline SmtpStep smtp_reply(std::string bytes) {
    return {SmtpStep::Kind::Reply, std::move(bytes)};
}
/// Sends nothing and goes on reading.
inline SmtpStep smtp_silent() {
    return {SmtpStep::Kind::Silent, {}};
}
/// Closes the connection.
inline SmtpStep smtp_hang_up() {
    return {SmtpStep::Kind::HangUp, {}};
}
/// Aborts the connection: the client gets a reset instead of an orderly end.
inline SmtpStep smtp_reset() {
    return {SmtpStep::Kind::Reset, {}};
}

/// Serves the connections one after the other, playing scripts[i] on the i-th. Past the end of
/// its script a connection answers "QUIT" with "221 Bye" and closes, and answers anything else
/// with "500 Out of script"; connections beyond the scripts are closed at once.
class SmtpScriptServer {
public:
    explicit SmtpScriptServer(std::vector<std::vector<SmtpStep>> scripts);
    ~SmtpScriptServer();
    SmtpScriptServer(const SmtpScriptServer&) = delete;
    SmtpScriptServer& operator=(const SmtpScriptServer&) = delete;

    /// The port it listens on; 0 when it could not listen.
    [[nodiscard]] int port() const { return port_; }

    /// The bytes the client sent on the index-th connection (0-based), once that connection has
    /// ended or after wait_ms, whichever comes first.
    [[nodiscard]] std::string received(std::size_t index, int wait_ms = 5000);

    /// How many connections have been accepted so far.
    [[nodiscard]] std::size_t connection_count();

private:
    void run();
    void serve(int fd, const std::vector<SmtpStep>* script, std::size_t index);

    std::vector<std::vector<SmtpStep>> scripts_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> received_;
    std::vector<bool> ended_;
    std::thread thread_;
};

/// A port on 127.0.0.1 where nothing listens (taken free and released again).
[[nodiscard]] int unused_loopback_port();

} // namespace tavelin::test
