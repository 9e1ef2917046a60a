// The only file that talks to libcurl. One easy handle per sent request; the cookie store is a
// curl share that lives as long as the process, because fetch threads may still run when the
// program ends.
#include "web/internet.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace tavelin {

struct InternetRoot {
    std::string agent;
    std::string http_proxy;  // empty: straight to the server
    std::string https_proxy; // empty: straight to the server
};

struct InternetConnection {
    InternetRoot root;
    std::string server;
    int port = 0;
};

struct InternetRequest {
    InternetConnection connection;
    std::string verb;
    std::string object_name;
    long http_version = CURL_HTTP_VERSION_1_1;
    std::uint32_t flags = 0;

    Bytes body;
    std::size_t read_offset = 0;
    std::vector<std::string> header_lines; // of the latest response; empty before one arrived
    bool saw_set_cookie = false;
    CURL* transfer = nullptr; // while the response arrives
};

void InternetCloser::operator()(InternetRoot* handle) const {
    delete handle;
}
void InternetCloser::operator()(InternetConnection* handle) const {
    delete handle;
}
void InternetCloser::operator()(InternetRequest* handle) const {
    delete handle;
}

namespace {

// Like the defaults of the platform this client stands in for: a dead server gives up after
// a minute of connecting or half a minute without a byte, so no fetch thread hangs for ever.
constexpr long kConnectTimeoutSeconds = 60;
constexpr long kLowSpeedTimeSeconds = 30;
constexpr long kMaxAutomaticRedirects = 10;
// Reading in large pieces keeps a fast server streaming; curl's own tool reads 100 KB at a time.
constexpr long kReceiveBufferBytes = 128 * 1024;
// A Content-Length is trusted this far when room for the body is made in advance.
constexpr curl_off_t kMaxReservedBody = 16 * 1024 * 1024;

// A removed cookie is reported with this expiry: the first second of 1970.
constexpr std::int64_t kExpiredLongAgo = 1;

struct CookieStore {
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    std::mutex settings_mutex;
    std::function<void(const Cookie&)> listener;
    std::string ca_file;
};

void lock_share(CURL*, curl_lock_data data, curl_lock_access, void* store) {
    static_cast<CookieStore*>(store)->locks[data].lock();
}
void unlock_share(CURL*, curl_lock_data data, void* store) {
    static_cast<CookieStore*>(store)->locks[data].unlock();
}

// Made on first use and never destroyed: fetch threads may outlive static destruction.
CookieStore& store() {
    static CookieStore* instance = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        auto* s = new CookieStore;
        s->share = curl_share_init();
        if (s->share) {
            curl_share_setopt(s->share, CURLSHOPT_USERDATA, s);
            curl_share_setopt(s->share, CURLSHOPT_LOCKFUNC, lock_share);
            curl_share_setopt(s->share, CURLSHOPT_UNLOCKFUNC, unlock_share);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
            curl_share_setopt(s->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
        if (const char* ca = std::getenv("TAVELIN_CA_FILE"))
            s->ca_file = ca;
        return s;
    }();
    return *instance;
}

struct EasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlCleanup>;

bool append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        return false;
    list.release();
    list.reset(grown);
    return true;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a + 32);
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b + 32);
        if (a != b)
            return false;
    }
    return true;
}

bool equals_ignoring_case(std::string_view text, std::string_view other) {
    return text.size() == other.size() && starts_with_ignoring_case(text, other);
}

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// ---- cookies in curl's Netscape lines

std::optional<Cookie> parse_cookie_line(std::string_view line) {
    constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
    Cookie c{};
    if (line.substr(0, kHttpOnlyPrefix.size()) == kHttpOnlyPrefix) {
        c.http_only = true;
        line.remove_prefix(kHttpOnlyPrefix.size());
    }
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() < 7)
        return std::nullopt;
    std::string_view domain = fields[0];
    while (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    c.domain = std::string(domain);
    c.include_subdomains = fields[1] == "TRUE";
    c.path = std::string(fields[2]);
    c.secure = fields[3] == "TRUE";
    c.expires = std::strtoll(std::string(fields[4]).c_str(), nullptr, 10);
    c.name = std::string(fields[5]);
    c.value = std::string(fields[6]);
    return c;
}

std::string cookie_line(const Cookie& c) {
    std::string line;
    if (c.http_only)
        line += "#HttpOnly_";
    // A domain may come as ".example.com" from a browser; the flag says what the dot would.
    std::string_view domain = c.domain;
    while (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    line += c.include_subdomains ? "." : "";
    line += domain;
    line += c.include_subdomains ? "\tTRUE\t" : "\tFALSE\t";
    line += c.path.empty() ? "/" : c.path;
    line += c.secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(c.expires);
    line += "\t" + c.name + "\t" + c.value;
    return line;
}

// Reads the store through an easy handle that is attached to the share.
std::vector<Cookie> snapshot_through(CURL* easy) {
    std::vector<Cookie> cookies;
    curl_slist* lines = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &lines) != CURLE_OK)
        return cookies;
    // curl keeps a cookie that expired until it next sends cookies; it is gone all the same.
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    for (curl_slist* l = lines; l; l = l->next) {
        auto c = parse_cookie_line(l->data);
        if (c && (c->expires == 0 || c->expires > now))
            cookies.push_back(std::move(*c));
    }
    curl_slist_free_all(lines);
    return cookies;
}

// An easy handle that uses the store; the share must be set before the cookie list is touched.
Easy store_handle() {
    CookieStore& s = store();
    Easy easy(curl_easy_init());
    if (!easy || !s.share)
        return nullptr;
    curl_easy_setopt(easy.get(), CURLOPT_SHARE, s.share);
    curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    return easy;
}

using CookieKey = std::tuple<std::string, std::string, std::string>;
CookieKey key_of(const Cookie& c) {
    return {c.domain, c.path, c.name};
}

bool same_cookie(const Cookie& a, const Cookie& b) {
    return a.value == b.value && a.expires == b.expires && a.secure == b.secure &&
           a.http_only == b.http_only && a.include_subdomains == b.include_subdomains;
}

// Tells the listener what changed between two views of the store.
void report_changes(const std::vector<Cookie>& before, const std::vector<Cookie>& after,
                    const std::function<void(const Cookie&)>& listener) {
    std::map<CookieKey, const Cookie*> old_cookies;
    for (const Cookie& c : before)
        old_cookies[key_of(c)] = &c;
    for (const Cookie& c : after) {
        auto it = old_cookies.find(key_of(c));
        if (it == old_cookies.end() || !same_cookie(*it->second, c))
            listener(c);
        if (it != old_cookies.end())
            old_cookies.erase(it);
    }
    for (const auto& [key, c] : old_cookies) {
        Cookie removed = *c;
        removed.expires = kExpiredLongAgo;
        listener(removed);
    }
}

std::function<void(const Cookie&)> current_listener() {
    CookieStore& s = store();
    std::lock_guard lock(s.settings_mutex);
    return s.listener;
}

std::string current_ca_file() {
    CookieStore& s = store();
    std::lock_guard lock(s.settings_mutex);
    return s.ca_file;
}

// ---- transfers

size_t collect_body(char* data, size_t size, size_t count, void* request) {
    auto* r = static_cast<InternetRequest*>(request);
    // Growing a large body step by step slows the reading down enough to stall the connection.
    if (r->body.empty()) {
        curl_off_t announced = -1;
        curl_easy_getinfo(r->transfer, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0)
            r->body.reserve(static_cast<std::size_t>(std::min(announced, kMaxReservedBody)));
    }
    r->body.append(data, size * count);
    return size * count;
}

// Keeps only the headers of the latest response: each status line (a redirect's, an interim
// 100's, a proxy's CONNECT answer) starts the block afresh.
size_t collect_header(char* data, size_t size, size_t count, void* request) {
    auto* r = static_cast<InternetRequest*>(request);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (starts_with_ignoring_case(line, "HTTP/"))
        r->header_lines.clear();
    else if (line.empty())
        return size * count;
    else if (starts_with_ignoring_case(line, "set-cookie:"))
        r->saw_set_cookie = true;
    r->header_lines.emplace_back(line);
    return size * count;
}

// Settings every transfer shares: time-outs, certificates, thread safety, HTTP only.
void configure_common(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeSeconds);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxAutomaticRedirects);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    const std::string ca_file = current_ca_file();
    if (!ca_file.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, ca_file.c_str());
}

// curl's address parser refuses spaces and control bytes, and bytes above 0x7E do not belong
// in a request line: such bytes of an object name go out percent-escaped.
std::string escape_for_url(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte <= 0x20 || byte >= 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

// The address the request goes to; null when curl refuses the server name.
Url request_url(const InternetRequest& r) {
    Url url(curl_url());
    if (!url)
        return nullptr;
    const bool secure = (r.flags & kInternetFlagSecure) != 0;
    const int port = r.connection.port != 0 ? r.connection.port : (secure ? 443 : 80);

    std::string_view object = r.object_name;
    object = object.substr(0, object.find('#'));
    const std::size_t question = object.find('?');
    std::string path = escape_for_url(object.substr(0, question));
    if (path.empty() || path.front() != '/')
        path.insert(path.begin(), '/');

    if (curl_url_set(url.get(), CURLUPART_SCHEME, secure ? "https" : "http", 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_HOST, r.connection.server.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PORT, std::to_string(port).c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0) != CURLUE_OK)
        return nullptr;
    if (question != std::string_view::npos) {
        const std::string query = escape_for_url(object.substr(question + 1));
        if (curl_url_set(url.get(), CURLUPART_QUERY, query.c_str(), 0) != CURLUE_OK)
            return nullptr;
    }
    // curl_url_set checks little about a host name; a full parse catches the rest.
    char* full = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &full, 0) != CURLUE_OK)
        return nullptr;
    Url check(curl_url());
    const bool valid = check && curl_url_set(check.get(), CURLUPART_URL, full, 0) == CURLUE_OK;
    curl_free(full);
    return valid ? std::move(url) : nullptr;
}

// The caller's lines in their order. Blank-valued lines are left out: curl would not send them
// and would drop its own header of that name (the agent) instead. curl adds no Accept or
// Content-Type of its own, and no Expect, which would stall small servers for a second.
bool add_header_lines(Slist& list, std::string_view headers) {
    bool has_accept = false;
    bool has_content_type = false;
    for (std::size_t start = 0; start <= headers.size();) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos)
            end = headers.size();
        std::string_view line = headers.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 ||
            trim_blanks(line.substr(colon + 1)).empty())
            continue;
        const std::string_view name = trim_blanks(line.substr(0, colon));
        has_accept = has_accept || equals_ignoring_case(name, "accept");
        has_content_type = has_content_type || equals_ignoring_case(name, "content-type");
        if (!append(list, std::string(line)))
            return false;
    }
    return (has_accept || append(list, "Accept:")) &&
           (has_content_type || append(list, "Content-Type:")) && append(list, "Expect:");
}

std::string proxy_for(const InternetRoot& root, bool secure) {
    return secure ? root.https_proxy : root.http_proxy;
}

std::string proxy_address(std::string_view server) {
    if (server.empty() || server.find("://") != std::string_view::npos)
        return std::string(server);
    return "http://" + std::string(server);
}

} // namespace

InternetRootHandle internet_open(std::string_view agent, InternetAccess access,
                                 std::string_view proxy_list) {
    if (!store().share)
        return nullptr;
    InternetRootHandle root(new InternetRoot);
    root->agent = std::string(agent);
    if (access != InternetAccess::proxy)
        return root;

    // Named entries win over an entry for every scheme, whatever their order.
    std::optional<std::string> http, https, every;
    for (std::size_t start = 0; start < proxy_list.size();) {
        std::size_t end = proxy_list.find_first_of(" ;", start);
        if (end == std::string_view::npos)
            end = proxy_list.size();
        const std::string_view entry = proxy_list.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            every = proxy_address(entry);
        } else if (starts_with_ignoring_case(entry, "http=")) {
            http = proxy_address(entry.substr(eq + 1));
        } else if (starts_with_ignoring_case(entry, "https=")) {
            https = proxy_address(entry.substr(eq + 1));
        }
    }
    root->http_proxy = http.value_or(every.value_or(""));
    root->https_proxy = https.value_or(every.value_or(""));
    return root;
}

InternetConnectionHandle internet_connect(const InternetRoot& root, std::string_view server,
                                          std::int32_t port) {
    if (server.empty() || port < 0 || port > 65535)
        return nullptr;
    InternetConnectionHandle connection(new InternetConnection);
    connection->root = root;
    connection->server = std::string(server);
    connection->port = port;
    return connection;
}

InternetRequestHandle http_open_request(const InternetConnection& connection, std::string_view verb,
                                        std::string_view object_name, std::string_view version,
                                        std::uint32_t flags) {
    if (verb.empty())
        return nullptr;
    InternetRequestHandle request(new InternetRequest);
    request->connection = connection;
    request->verb = std::string(verb);
    request->object_name = object_name.empty() ? "/" : std::string(object_name);
    request->http_version = version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1;
    request->flags = flags;
    return request;
}

bool http_send_request(InternetRequest& request, std::string_view headers, const Bytes* body) {
    request.body.clear();
    request.read_offset = 0;
    request.header_lines.clear();
    request.saw_set_cookie = false;

    Url url = request_url(request);
    Easy easy(curl_easy_init());
    Slist header_list;
    if (!url || !easy || !add_header_lines(header_list, headers))
        return false;
    CURL* e = easy.get();
    configure_common(e);

    const bool secure = (request.flags & kInternetFlagSecure) != 0;
    curl_easy_setopt(e, CURLOPT_CURLU, url.get());
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, request.http_version);
    curl_easy_setopt(e, CURLOPT_PROXY, proxy_for(request.connection.root, secure).c_str());
    if (!request.connection.root.agent.empty())
        curl_easy_setopt(e, CURLOPT_USERAGENT, request.connection.root.agent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get());

    if ((request.flags & kInternetFlagNoAutoRedirect) == 0) {
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        // A redirect leaves the request's scheme only from http to https, and only when asked.
        const char* allowed = secure ? "https"
                              : (request.flags & kInternetFlagIgnoreRedirectToHttps) != 0
                                  ? "http,https"
                                  : "http";
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, allowed);
    }

    const bool use_store = (request.flags & kInternetFlagNoCookies) == 0;
    if (use_store) {
        curl_easy_setopt(e, CURLOPT_SHARE, store().share);
        curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
    }

    const bool has_body = body && !body->empty();
    if (request.verb == "POST") {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(has_body ? body->size() : 0));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, has_body ? body->data() : "");
    } else if (request.verb == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        if (has_body) {
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, body->data());
        }
        if (request.verb != "GET" || has_body)
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }

    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, collect_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &request);
    request.transfer = e;
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, collect_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &request);

    std::function<void(const Cookie&)> listener;
    if (use_store)
        listener = current_listener();
    std::vector<Cookie> before;
    if (listener)
        before = snapshot_through(e);

    const CURLcode result = curl_easy_perform(e);
    request.transfer = nullptr;

    if (listener && request.saw_set_cookie)
        report_changes(before, snapshot_through(e), listener);
    return result == CURLE_OK;
}

std::uint32_t internet_read_file(InternetRequest& request, char* buffer, std::uint32_t size) {
    const std::size_t left = request.body.size() - request.read_offset;
    const std::size_t count = left < size ? left : size;
    std::memcpy(buffer, request.body.data() + request.read_offset, count);
    request.read_offset += count;
    return static_cast<std::uint32_t>(count);
}

std::uint32_t internet_query_data_available(const InternetRequest& request) {
    const std::size_t left = request.body.size() - request.read_offset;
    return static_cast<std::uint32_t>(std::min<std::size_t>(left, UINT32_MAX));
}

bool http_query_raw_headers(const InternetRequest& request, char* buffer, std::uint32_t& length) {
    if (request.header_lines.empty())
        return false;
    std::string block;
    for (const std::string& line : request.header_lines) {
        if (!block.empty())
            block += "\r\n";
        block += line;
    }
    if (block.size() + 1 > length) {
        length = static_cast<std::uint32_t>(block.size() + 1);
        return false;
    }
    std::memcpy(buffer, block.data(), block.size());
    buffer[block.size()] = '\0';
    length = static_cast<std::uint32_t>(block.size());
    return true;
}

Bytes read_web_file_plain(std::string_view url) {
    Easy easy = store_handle();
    if (!easy)
        return {};
    CURL* e = easy.get();
    configure_common(e);
    const std::string address(url);
    Bytes body;
    curl_easy_setopt(e, CURLOPT_URL, address.c_str());
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_USERAGENT, std::string(kDefaultAgent).c_str());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(
        e, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<Bytes*>(out)->append(data, size * count);
            return size * count;
        });
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(e) != CURLE_OK)
        return {};
    return body;
}

void import_cookie(const Cookie& cookie) {
    if (cookie.domain.find_first_not_of('.') == std::string::npos || cookie.name.empty())
        return;
    // Tabs and line breaks would split the line curl reads.
    const Cookie& c = cookie;
    for (const std::string* field : {&c.domain, &c.path, &c.name, &c.value}) {
        if (field->find_first_of("\t\r\n") != std::string::npos)
            return;
    }
    if (Easy easy = store_handle())
        curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, cookie_line(cookie).c_str());
}

std::vector<Cookie> cookie_store_snapshot() {
    Easy easy = store_handle();
    return easy ? snapshot_through(easy.get()) : std::vector<Cookie>{};
}

void clear_cookie_store() {
    if (Easy easy = store_handle())
        curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

void set_cookie_listener(std::function<void(const Cookie&)> listener) {
    CookieStore& s = store();
    std::lock_guard lock(s.settings_mutex);
    s.listener = std::move(listener);
}

void set_certificate_authorities(std::string pem_path) {
    CookieStore& s = store();
    std::lock_guard lock(s.settings_mutex);
    s.ca_file = std::move(pem_path);
}

} // namespace tavelin
