#include "mail/smtp.h"

#include "mail/base64.h"
#include "mail/mail_date.h"
#include "mail/mime_words.h"
#include "runtime/codepage.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tavelin {

namespace {

using Clock = std::chrono::steady_clock;

// An unreachable server must not hold the window for the minutes a TCP connect may take.
constexpr int kConnectTimeoutMs = 20000;
// The connection is watched in slices no longer than this while a reply is awaited.
constexpr int kPollSliceMs = 250;
constexpr int kDefaultPort = 25;
constexpr int kDefaultReplyTimeoutMs = 2000;
// A reply larger than this is not an SMTP reply; it would otherwise grow without end.
constexpr std::size_t kMaxReplyBytes = 1 << 20;

struct Connection {
    std::mutex mutex;
    int fd = -1;
    int reply_timeout_ms = kDefaultReplyTimeoutMs;
    Text inbox; // bytes received after the last line taken
    Text last_error;
};

// Never destroyed: the program may leave while other threads still run.
Connection& connection() {
    static auto* shared = new Connection;
    return *shared;
}

struct Reply {
    int code = 0;
    std::vector<Text> lines; // without their CRLF
};

struct MailAddress {
    Text name;
    Text address;
};

Text connect_failure(std::string_view server) {
    return concat_text(cp936("连接指定SMTP邮件服务器“"), server, cp936("”失败!"));
}

Text login_failure(std::string_view server) {
    return concat_text(cp936("登录指定SMTP邮件服务器“"), server, cp936("”失败!"));
}

// Milliseconds left until the deadline, rounded up: 0 only once it has passed.
int remaining_ms(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

void close_connection(Connection& c) {
    if (c.fd >= 0) {
        ::close(c.fd);
    }
    c.fd = -1;
    c.inbox.clear();
}

// Writes all bytes; false on a broken connection or when the peer takes nothing for a reply
// time-out. more = further data follows at once (keeps the pieces of a mail in few segments).
bool send_all(Connection& c, std::string_view data, bool more = false) {
    int flags = MSG_NOSIGNAL;
#ifdef MSG_MORE
    if (more) {
        flags |= MSG_MORE;
    }
#else
    (void)more;
#endif
    auto deadline = Clock::now() + std::chrono::milliseconds(c.reply_timeout_ms);
    while (!data.empty()) {
        const ssize_t sent = ::send(c.fd, data.data(), data.size(), flags);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
            deadline = Clock::now() + std::chrono::milliseconds(c.reply_timeout_ms);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int left = remaining_ms(deadline);
            if (left == 0) {
                return false;
            }
            pollfd p{c.fd, POLLOUT, 0};
            if (::poll(&p, 1, std::min(left, kPollSliceMs)) < 0 && errno != EINTR) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

// The reply line's code, or -1 when the line is no reply line; last = a space (or nothing)
// follows the code.
int reply_code(std::string_view line, bool& last) {
    if (line.size() < 3 || !std::all_of(line.begin(), line.begin() + 3,
                                        [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return -1;
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return -1;
    }
    last = line.size() == 3 || line[3] == ' ';
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// Reads one whole reply, taking it the moment its last line arrives. On failure `failure`
// holds the reason.
bool read_reply(Connection& c, Reply& reply, Text& failure) {
    reply = Reply{};
    auto deadline = Clock::now() + std::chrono::milliseconds(c.reply_timeout_ms);
    for (;;) {
        for (std::size_t eol; (eol = c.inbox.find('\n')) != Text::npos;) {
            Text line = c.inbox.substr(0, eol);
            c.inbox.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            bool last = false;
            const int code = reply_code(line, last);
            if (code < 0) {
                failure = cp936("SMTP邮件服务器返回失败信息!");
                return false;
            }
            reply.lines.push_back(std::move(line));
            if (last) {
                reply.code = code;
                return true;
            }
        }
        if (c.inbox.size() > kMaxReplyBytes) {
            failure = cp936("SMTP邮件服务器返回失败信息!");
            return false;
        }
        const int left = remaining_ms(deadline);
        if (left == 0) {
            failure = cp936("接收数据超时!");
            return false;
        }
        pollfd p{c.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, std::min(left, kPollSliceMs));
        if (ready < 0 && errno != EINTR) {
            failure = cp936("网络出错!");
            return false;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            c.inbox.append(buffer, static_cast<std::size_t>(got));
            deadline = Clock::now() + std::chrono::milliseconds(c.reply_timeout_ms);
        } else if (got == 0) {
            failure = cp936("等待SMTP邮件服务器响应失败!");
            return false;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            failure = cp936("网络出错!");
            return false;
        }
    }
}

// Nothing is pipelined, so whatever arrived before a command is stale (say, a reply that came
// after its time-out) and would be taken for the command's own reply.
void drop_stale_input(Connection& c) {
    c.inbox.clear();
    char buffer[4096];
    while (::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

// Sends one command line and awaits its reply with the expected code; otherwise `failure`
// holds the reason (the server's last reply line for another code).
bool command(Connection& c, std::string_view line, int expected, Text& failure,
             Reply* reply_out = nullptr) {
    drop_stale_input(c);
    if (!send_all(c, line)) {
        failure = cp936("发送数据失败!");
        return false;
    }
    Reply reply;
    if (!read_reply(c, reply, failure)) {
        return false;
    }
    if (reply_out != nullptr) {
        *reply_out = reply;
    }
    if (reply.code != expected) {
        failure = reply.lines.back();
        return false;
    }
    return true;
}

void end_connection(Connection& c) {
    if (c.fd < 0) {
        return;
    }
    Text ignored;
    command(c, "QUIT\r\n", 221, ignored);
    close_connection(c);
}

Text local_host_name() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char ch) {
                   return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
               };
               return lower(x) == lower(y);
           });
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find(' ', start), text.size());
        out.push_back(text.substr(start, end - start));
        at = end;
    }
    return out;
}

enum class Login { None, Login, Plain };

// The mechanism to log in with, from the EHLO reply's "AUTH" line or, failing that, an old
// "AUTH=LOGIN" line.
Login login_mechanism(const Reply& ehlo) {
    const std::vector<Text>& lines = ehlo.lines;
    const auto keywords = [](const Text& line) {
        return words(std::string_view(line).substr(std::min<std::size_t>(line.size(), 4)));
    };
    const auto auth = std::find_if(lines.begin(), lines.end(), [&](const Text& line) {
        const auto w = keywords(line);
        return !w.empty() && iequals(w.front(), "AUTH");
    });
    if (auth == lines.end()) {
        const bool old_login = std::any_of(lines.begin(), lines.end(), [&](const Text& line) {
            const auto w = keywords(line);
            return !w.empty() && w.front().size() >= 10 &&
                   iequals(w.front().substr(0, 10), "AUTH=LOGIN");
        });
        return old_login ? Login::Login : Login::None;
    }
    const auto mechanisms = keywords(*auth);
    const auto offers = [&](std::string_view name) {
        return std::any_of(mechanisms.begin() + 1, mechanisms.end(),
                           [&](std::string_view m) { return iequals(m, name); });
    };
    if (offers("LOGIN")) {
        return Login::Login;
    }
    return offers("PLAIN") ? Login::Plain : Login::None;
}

bool log_in(Connection& c, Login mechanism, std::string_view account, std::string_view password) {
    Text failure;
    if (mechanism == Login::Login) {
        return command(c, "AUTH LOGIN\r\n", 334, failure) &&
               command(c, concat_text(base64_encode(account), "\r\n"), 334, failure) &&
               command(c, concat_text(base64_encode(password), "\r\n"), 235, failure);
    }
    const Bytes plain =
        concat_bytes(std::string_view("\0", 1), account, std::string_view("\0", 1), password);
    return command(c, "AUTH PLAIN\r\n", 334, failure) &&
           command(c, concat_text(base64_encode(plain), "\r\n"), 235, failure);
}

// Opens the TCP connection within the connect bound; -1 on failure, -2 when no socket could be
// made.
int open_socket(const sockaddr_in& address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -2;
    }
    // Commands are single small writes awaiting a reply: Nagle would only delay them.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    if (errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, remaining_ms(deadline));
        if (ready > 0) {
            break;
        }
        if (ready == 0 || errno != EINTR) {
            ::close(fd);
            return -1;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool resolve(const Text& server, int port, sockaddr_in& address) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, server.c_str(), &address.sin_addr) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

bool connect_locked(Connection& c, const Text& server, int port, std::string_view account,
                    std::string_view password) {
    if (server.empty() || port < 1 || port > 65535) {
        c.last_error = connect_failure(server);
        return false;
    }
    sockaddr_in address;
    if (!resolve(server, port, address)) {
        c.last_error = connect_failure(server);
        return false;
    }
    const int fd = open_socket(address);
    if (fd < 0) {
        c.last_error = fd == -2 ? cp936("创建SOCKET网络组件失败!") : connect_failure(server);
        return false;
    }
    c.fd = fd;
    c.inbox.clear();

    Reply greeting;
    Text failure;
    if (!read_reply(c, greeting, failure) || greeting.code != 220) {
        close_connection(c);
        c.last_error = connect_failure(server);
        return false;
    }
    const Text host = local_host_name();
    bool greeted = false;
    if (!account.empty() && !password.empty()) {
        Reply ehlo;
        if (command(c, concat_text("EHLO ", host, "\r\n"), 250, failure, &ehlo)) {
            greeted = true;
            const Login mechanism = login_mechanism(ehlo);
            if (mechanism != Login::None && !log_in(c, mechanism, account, password)) {
                end_connection(c);
                c.last_error = login_failure(server);
                return false;
            }
        }
    }
    if (!greeted && !command(c, concat_text("HELO ", host, "\r\n"), 250, failure)) {
        end_connection(c);
        c.last_error = connect_failure(server);
        return false;
    }
    return true;
}

// Splits an address list; false when an item has "<" without ">" after it.
bool parse_addresses(std::string_view text, std::vector<MailAddress>& out) {
    out.clear();
    // Only ASCII bytes separate: "," ";" "<" ">" are below 0x40, so never a trail byte.
    const Text flat = header_line_text(text);
    std::size_t start = 0;
    while (start <= flat.size()) {
        const std::size_t end = std::min(flat.find_first_of(",;", start), flat.size());
        const Text item = trim_spaces(std::string_view(flat).substr(start, end - start));
        start = end + 1;
        if (item.empty()) {
            continue;
        }
        const std::size_t open = item.find('<');
        if (open == Text::npos) {
            out.push_back({Text(), item});
            continue;
        }
        const std::size_t close = item.find('>', open + 1);
        if (close == Text::npos) {
            return false;
        }
        out.push_back({trim_spaces(std::string_view(item).substr(0, open)),
                       trim_spaces(std::string_view(item).substr(open + 1, close - open - 1))});
    }
    return true;
}

Text header_address(const MailAddress& a) {
    if (a.name.empty()) {
        return a.address;
    }
    return concat_text(encode_header_words(a.name), " <", a.address, ">");
}

Text header_addresses(const std::vector<MailAddress>& list) {
    Text out;
    for (const MailAddress& a : list) {
        if (!out.empty()) {
            out += ',';
        }
        out += header_address(a);
    }
    return out;
}

struct Mail {
    Text subject;
    Text body;
    std::vector<MailAddress> to, cc, bcc;
    MailAddress from, reply_to;
};

Text mail_header(const Mail& mail) {
    Text header = concat_text("From: ", header_address(mail.from),
                              "\r\nTo: ", header_addresses(mail.to), "\r\n");
    if (!mail.cc.empty()) {
        header += concat_text("Cc: ", header_addresses(mail.cc), "\r\n");
    }
    header += concat_text("Subject: ", encode_header_words(header_line_text(mail.subject)),
                          "\r\nDate: ", mail_date(std::time(nullptr)), "\r\n");
    if (!mail.reply_to.address.empty()) {
        header += concat_text("Reply-To: ", header_address(mail.reply_to), "\r\n");
    }
    header += concat_text("MIME-Version: 1.0\r\nContent-type: text/plain; charset=\"",
                          is_ascii(mail.body) ? "us-ascii" : "gb2312",
                          "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n");
    return header;
}

// The dialogue from MAIL FROM to the end of the data; empty when the mail was accepted.
Text transmit(Connection& c, const Mail& mail) {
    Text failure;
    if (!command(c, concat_text("MAIL FROM:<", mail.from.address, ">\r\n"), 250, failure)) {
        return failure;
    }
    for (const auto* list : {&mail.to, &mail.cc, &mail.bcc}) {
        for (const MailAddress& a : *list) {
            if (!command(c, concat_text("RCPT TO:<", a.address, ">\r\n"), 250, failure)) {
                return failure;
            }
        }
    }
    if (!command(c, "DATA\r\n", 354, failure)) {
        return failure;
    }
    if (!send_all(c, mail_header(mail), true)) {
        return cp936("发送邮件头失败!");
    }
    if (!send_all(c, base64_lines(mail.body), true) || !send_all(c, "\r\n.\r\n")) {
        return cp936("发送邮件内容失败!");
    }
    Reply reply;
    if (!read_reply(c, reply, failure)) {
        return failure;
    }
    return reply.code == 250 ? Text() : reply.lines.back();
}

Text send_locked(Connection& c, std::string_view subject, std::string_view body,
                 std::string_view to, std::string_view cc, std::string_view bcc,
                 std::string_view from, std::string_view reply_to) {
    Mail mail{Text(subject), Text(body), {}, {}, {}, {}, {}};
    std::vector<MailAddress> single;
    if (!parse_addresses(to, mail.to) || !parse_addresses(cc, mail.cc) ||
        !parse_addresses(bcc, mail.bcc)) {
        return cp936("目的邮件地址格式错误!");
    }
    if (!parse_addresses(from, single)) {
        return cp936("发信人邮件地址格式错误!");
    }
    if (!single.empty()) {
        mail.from = single.front();
    }
    if (!parse_addresses(reply_to.empty() ? from : reply_to, single)) {
        return cp936("回复邮件地址格式错误!");
    }
    if (!single.empty()) {
        mail.reply_to = single.front();
    }
    if (c.fd < 0) {
        return cp936("未连接到SMTP服务器!");
    }
    if (mail.to.empty() && mail.cc.empty() && mail.bcc.empty()) {
        return cp936("未指定发送地址!");
    }
    const Text failure = transmit(c, mail);
    if (!failure.empty()) {
        // Leave the server ready for the next mail on this connection.
        Text ignored;
        command(c, "RSET\r\n", 250, ignored);
    }
    return failure;
}

} // namespace

bool smtp_connect(std::string_view server, std::optional<int> port,
                  std::optional<std::string_view> account, std::optional<std::string_view> password,
                  std::optional<int> reply_timeout_ms) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    end_connection(c);
    c.last_error.clear();
    c.reply_timeout_ms = std::max(1, reply_timeout_ms.value_or(kDefaultReplyTimeoutMs));
    const int chosen_port = port.value_or(0) == 0 ? kDefaultPort : *port;
    return connect_locked(c, Text(server), chosen_port, account.value_or(""),
                          password.value_or(""));
}

Text smtp_send_mail(std::string_view subject, std::string_view body, std::string_view to,
                    std::optional<std::string_view> cc, std::optional<std::string_view> bcc,
                    std::string_view from, std::optional<std::string_view> reply_to) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    c.last_error = send_locked(c, subject, body, to, cc.value_or(""), bcc.value_or(""), from,
                               reply_to.value_or(""));
    return c.last_error;
}

void smtp_quit() {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    end_connection(c);
}

Text smtp_last_error() {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    return c.last_error;
}

} // namespace tavelin
