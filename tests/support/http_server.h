#pragma once
// Web servers for tests, on 127.0.0.1 and a free port: an in-test HTTP server that records the
// exact bytes of each request and answers with canned raw replies, and nginx with a certificate
// signed by a test authority made on the spot. Both stop at scope exit.

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tavelin::test {

/// One request as received: the head (request line and header lines up to and including the
/// empty line) and the body the Content-Length line announced.
struct HttpRecord {
    std::string head;
    std::string body;
    /// Every byte as sent.
    [[nodiscard]] std::string raw() const { return head + body; }
    /// The request line without its CRLF.
    [[nodiscard]] std::string request_line() const;
    /// The header lines between the request line and the empty line, CRLFs between them.
    [[nodiscard]] std::string header_block() const;
};

/// A raw reply: the status line, the header lines (CRLF-separated, may be empty), a
/// Content-Length line for the body, the empty line and the body.
[[nodiscard]] std::string http_reply(std::string_view status_line, std::string_view header_lines,
                                     std::string_view body);

/// Serves every connection on a thread of its own: reads one request, records it, writes the
/// reply and closes the connection.
class HttpServer {
public:
    /// Gives each request the handler's raw reply (called on connection threads, possibly at
    /// once); an empty reply closes the connection without a word.
    using Handler = std::function<std::string(const HttpRecord& request)>;
    explicit HttpServer(Handler handler);
    /// Gives the i-th request replies[i]; requests beyond them get the connection closed.
    explicit HttpServer(std::vector<std::string> replies);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    /// The port it listens on; 0 when it could not listen.
    [[nodiscard]] int port() const { return port_; }
    /// "http://127.0.0.1:<port>" followed by the path.
    [[nodiscard]] std::string url(std::string_view path = "/") const;
    /// The requests received so far, in the order they were complete.
    [[nodiscard]] std::vector<HttpRecord> requests() const;

private:
    void run();
    void serve(int fd);

    Handler handler_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<HttpRecord> requests_;
    std::vector<int> open_connections_;
    std::list<std::thread> connections_;
    std::thread thread_;
};

/// nginx serving files over HTTP or HTTPS. For HTTPS the certificate names 127.0.0.1 and
/// localhost and is signed by a certificate authority made for this server alone (ca_file()).
class NginxServer {
public:
    struct Options {
        bool tls = true;
        std::string root_dir;     ///< served directory
        std::string server_extra; ///< more directives for the server block
    };
    explicit NginxServer(Options options);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    /// Whether nginx could be set up and answers; error() tells why not.
    [[nodiscard]] bool running() const { return pid_ > 0; }
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] int port() const { return port_; }
    /// The PEM file of the test certificate authority (empty without TLS).
    [[nodiscard]] std::string ca_file() const;
    /// "https://127.0.0.1:<port>" (or http) followed by the path.
    [[nodiscard]] std::string url(std::string_view path = "/") const;

private:
    bool start(const Options& options);

    std::string dir_;
    bool tls_ = true;
    int port_ = 0;
    int pid_ = -1;
    std::string error_;
};

/// Whether the nginx and openssl commands are installed.
[[nodiscard]] bool nginx_available();

} // namespace tavelin::test
