#include "support/http_server.h"

#include "support/loopback.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavelin::test {
namespace {

// How long a connection may stay silent before the server gives up on it.
constexpr int kIdleMs = 10000;

int free_port() {
    int port = 0;
    const int fd = listen_on_loopback(port);
    if (fd < 0)
        return 0;
    ::close(fd);
    return port;
}

bool wait_readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

bool send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::size_t content_length(std::string_view head) {
    constexpr std::string_view kName = "\r\ncontent-length:";
    std::string lower(head);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find(kName);
    if (at == std::string::npos)
        return 0;
    return std::strtoull(lower.c_str() + at + kName.size(), nullptr, 10);
}

// Reads one request; false when the peer went away or stayed silent before its head was done.
bool read_request(int fd, HttpRecord& record) {
    std::string data;
    char buffer[16384];
    std::size_t head_end = std::string::npos;
    std::size_t wanted = 0;
    for (;;) {
        if (head_end == std::string::npos) {
            head_end = data.find("\r\n\r\n");
            if (head_end != std::string::npos) {
                head_end += 4;
                wanted = head_end + content_length(std::string_view(data).substr(0, head_end));
            }
        }
        if (head_end != std::string::npos && data.size() >= wanted)
            break;
        if (!wait_readable(fd, kIdleMs))
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    record.head = data.substr(0, head_end);
    record.body = data.substr(head_end);
    return true;
}

bool run_command(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string shell_quoted(const std::string& text) {
    return "'" + text + "'";
}

bool write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

bool port_answers(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::string HttpRecord::request_line() const {
    return head.substr(0, head.find("\r\n"));
}

std::string HttpRecord::header_block() const {
    const std::size_t start = head.find("\r\n");
    if (start == std::string::npos || head.size() < start + 6)
        return {};
    return head.substr(start + 2, head.size() - start - 6);
}

std::string http_reply(std::string_view status_line, std::string_view header_lines,
                       std::string_view body) {
    std::string reply(status_line);
    reply += "\r\n";
    if (!header_lines.empty()) {
        reply += header_lines;
        reply += "\r\n";
    }
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

HttpServer::HttpServer(std::vector<std::string> replies)
    : HttpServer([replies = std::move(replies),
                  next = std::make_shared<std::atomic<std::size_t>>(0)](const HttpRecord&) {
          const std::size_t i = (*next)++;
          return i < replies.size() ? replies[i] : std::string();
      }) {}

HttpServer::HttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = listen_on_loopback(port_);
    if (listener_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

HttpServer::~HttpServer() {
    stop_ = true;
    if (wake_[1] >= 0)
        (void)!::write(wake_[1], "x", 1);
    if (thread_.joinable())
        thread_.join();
    {
        // Wakes connections still waiting for a client that never closes.
        std::lock_guard lock(mutex_);
        for (const int fd : open_connections_)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : connections_)
        t.join();
    for (const int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::string HttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<HttpRecord> HttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpServer::run() {
    while (!stop_) {
        pollfd p[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN) != 0)
            continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        {
            std::lock_guard lock(mutex_);
            open_connections_.push_back(fd);
        }
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void HttpServer::serve(int fd) {
    HttpRecord record;
    if (read_request(fd, record)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(record);
        }
        const std::string reply = handler_(record);
        if (!reply.empty() && send_all(fd, reply)) {
            // Closing with unread bytes would reset the connection and could cost the client the
            // end of the reply; so signal the end and wait briefly for the client to close.
            ::shutdown(fd, SHUT_WR);
            char sink[4096];
            while (!stop_ && wait_readable(fd, 2000) && ::recv(fd, sink, sizeof sink, 0) > 0) {
            }
        }
    }
    std::lock_guard lock(mutex_);
    open_connections_.erase(std::find(open_connections_.begin(), open_connections_.end(), fd));
    ::close(fd);
}

bool nginx_available() {
    return ::access("/usr/sbin/nginx", X_OK) == 0 && run_command("command -v openssl >/dev/null");
}

NginxServer::NginxServer(Options options) : tls_(options.tls) {
    if (!start(options) && pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

NginxServer::~NginxServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

std::string NginxServer::ca_file() const {
    return tls_ ? dir_ + "/ca.pem" : std::string();
}

std::string NginxServer::url(std::string_view path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) +
           std::string(path);
}

bool NginxServer::start(const Options& options) {
    if (!nginx_available()) {
        error_ = "nginx or openssl is not installed";
        return false;
    }
    char pattern[] = "/tmp/tavelin-nginx-XXXXXX";
    if (!::mkdtemp(pattern)) {
        error_ = "no temporary directory";
        return false;
    }
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/temp");

    if (tls_) {
        const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const bool made =
            write_text(dir_ + "/server.ext",
                       "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                       "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n") &&
            run_command("cd " + shell_quoted(dir_) + " && openssl req -x509 " + ec +
                        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tavelin Test CA'"
                        " -addext basicConstraints=critical,CA:TRUE"
                        " -addext keyUsage=critical,keyCertSign,cRLSign >/dev/null 2>&1"
                        " && openssl req " +
                        ec +
                        " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'"
                        " >/dev/null 2>&1"
                        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key"
                        " -CAcreateserial -out server.pem -days 2 -extfile server.ext"
                        " >/dev/null 2>&1");
        if (!made) {
            error_ = "openssl could not make the test certificates";
            return false;
        }
    }

    port_ = free_port();
    const std::string listen = "127.0.0.1:" + std::to_string(port_) + (tls_ ? " ssl" : "");
    std::string conf;
    // As root the workers would become nobody, who cannot read the private temporary directory.
    if (::geteuid() == 0)
        conf += "user root;\n";
    conf += "worker_processes 1;\ndaemon off;\nmaster_process on;\n";
    conf += "pid " + dir_ + "/nginx.pid;\nerror_log " + dir_ + "/error.log;\n";
    conf += "events { worker_connections 64; }\nhttp {\n";
    conf += "  access_log off;\n  default_type text/html;\n";
    for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf += std::string("  ") + kind + "_temp_path " + dir_ + "/temp/" + kind + ";\n";
    conf += "  server {\n    listen " + listen + ";\n";
    if (tls_) {
        conf += "    ssl_certificate " + dir_ + "/server.pem;\n";
        conf += "    ssl_certificate_key " + dir_ + "/server.key;\n";
    }
    conf += "    root " + (options.root_dir.empty() ? dir_ : options.root_dir) + ";\n";
    conf += "    " + options.server_extra + "\n  }\n}\n";
    if (!write_text(dir_ + "/nginx.conf", conf)) {
        error_ = "could not write nginx.conf";
        return false;
    }

    const std::string error_log = dir_ + "/error.log";
    const std::string conf_path = dir_ + "/nginx.conf";
    std::vector<std::string> args = {"/usr/sbin/nginx", "-p", dir_,     "-c",
                                     conf_path,         "-e", error_log};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        error_ = "nginx could not be started";
        return false;
    }
    pid_ = pid;
    for (int i = 0; i < 100; ++i) {
        if (port_answers(port_))
            return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream log(error_log);
    error_ = "nginx did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
    return false;
}

} // namespace tavelin::test
