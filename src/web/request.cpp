#include "web/request.h"

#include "web/cookies.h"
#include "web/decode.h"
#include "web/internet.h"
#include "web/url.h"

#include <cstring>

namespace tavelin {
namespace {

constexpr std::uint32_t kReadChunk = 1024;
// The header block is queried into this many bytes, prefilled with spaces, zero byte included.
constexpr int kRawHeaderCapacity = 5000;
// A chain of moved pages longer than this is a loop; the request then fails.
constexpr int kMaxMovedFollowUps = 10;
// A page declaring its charset this early is taken at its word, whatever the headers say.
constexpr int kCharsetDeclarationLimit = 500;

Bytes request_page(std::string_view url, const WebRequestOptions& options, int follow_ups) {
    // Absent variables are stood in for by locals: the routine writes them all the same.
    Text own_cookies, own_response_cookies, own_headers, own_location, own_raw_headers;
    Bytes own_post_bytes;
    Text& cookies = options.cookies ? *options.cookies : own_cookies;
    Text& response_cookies =
        options.response_cookies ? *options.response_cookies : own_response_cookies;
    Text& headers = options.headers ? *options.headers : own_headers;
    Text& location = options.location ? *options.location : own_location;
    Bytes& post_bytes = options.post_bytes ? *options.post_bytes : own_post_bytes;
    Text& raw_headers = options.raw_headers ? *options.raw_headers : own_raw_headers;
    const std::int32_t method = options.method.value_or(0);
    const std::string_view post_text =
        options.post_text ? std::string_view(*options.post_text) : std::string_view();
    const bool no_redirect = options.no_redirect.value_or(false);

    const std::string_view verb = method == 1 ? "POST" : "GET";

    Text agent;
    if (find_text(headers, "User-Agent:", std::nullopt, true) != -1)
        agent = trim_spaces(text_between(headers, "User-Agent:", "\r\n"));
    // The line may be the last one (no line break ends it) or hold no value.
    if (agent.empty())
        agent = Text(kDefaultAgent);

    InternetRootHandle root =
        options.proxy ? internet_open(agent, InternetAccess::proxy, "http=" + *options.proxy)
                      : internet_open(agent, InternetAccess::direct);
    if (!root)
        return {};
    InternetConnectionHandle connection = internet_connect(*root, url_host(url), url_port(url));
    if (!connection)
        return {};

    std::uint32_t flags = kInternetFlagReload | kInternetFlagNeedFile;
    if (options.cookies)
        flags |= kInternetFlagNoCookies;
    if (no_redirect)
        flags |= kInternetFlagNoAutoRedirect;
    flags |= to_lower(left_text(url, 5)) == "https" ? kInternetFlagSecure
                                                    : kInternetFlagIgnoreRedirectToHttps;

    InternetRequestHandle request =
        http_open_request(*connection, verb, url_path(url), "HTTP/1.1", flags);
    if (!request)
        return {};

    if (find_text(headers, "Referer:", std::nullopt, false) == -1)
        headers = headers.empty() ? concat_text(std::string_view("Referer: "), url)
                                  : concat_text(headers, std::string_view("\r\nReferer: "), url);
    if (find_text(headers, "Accept:", std::nullopt, false) == -1)
        headers += "\r\nAccept: */*";
    if (find_text(headers, "Accept-Language:", std::nullopt, false) == -1)
        headers += "\r\nAccept-Language: zh-cn";
    if (find_text(headers, "Content-Type:", std::nullopt, false) == -1)
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!cookies.empty())
        headers += concat_text(std::string_view("\r\nCookie: "), cookies);

    const Bytes* send_body = nullptr;
    if (method != 0) {
        if (post_bytes.empty())
            post_bytes = text_to_bytes(post_text);
        if (!post_bytes.empty())
            send_body = &post_bytes;
    }
    (void)http_send_request(*request, headers, send_body);

    Bytes body;
    body.reserve(internet_query_data_available(*request));
    char chunk[kReadChunk];
    for (;;) {
        std::memset(chunk, 0, sizeof chunk);
        const std::uint32_t count = internet_read_file(*request, chunk, kReadChunk);
        if (count == 0)
            break;
        body.append(chunk, count);
    }

    // A block that does not fit, or no response at all, leaves the spaces in place.
    raw_headers = blank_text(kRawHeaderCapacity);
    std::uint32_t capacity = kRawHeaderCapacity;
    (void)http_query_raw_headers(*request, raw_headers.data(), capacity);
    raw_headers = bytes_to_text(raw_headers);

    request.reset();
    connection.reset();
    root.reset();

    // Cleared first, so that a value left from an earlier call is never taken for this
    // response's Location.
    location.clear();
    response_cookies.clear();
    for (const Text& line : split_text(raw_headers, "\r\n")) {
        if (find_text(line, "Location:", std::nullopt, false) != -1)
            location = header_value(line);
        if (find_text(line, "Set-Cookie", std::nullopt, false) != -1)
            response_cookies += concat_text(trim_spaces(text_between(line, "Set-Cookie:", ";")),
                                            std::string_view("; "));
    }
    response_cookies = left_text(response_cookies, text_len(response_cookies) - 2);

    if (options.cookies)
        (void)merge_cookies(cookies, response_cookies);
    if (location.empty())
        location = raw_headers;

    if (text_between(raw_headers, "HTTP/1.1 ", " Moved") == "301") {
        if (follow_ups >= kMaxMovedFollowUps)
            return {};
        const Text next_url = concat_text(location, url_path(url));
        location.clear();
        const WebRequestOptions next{
            .method = method,
            .post_text = Text(post_text),
            .cookies = &cookies,
            .response_cookies = &response_cookies,
            .headers = &headers,
            .location = &location,
            .no_redirect = no_redirect,
            .post_bytes = &post_bytes,
            .proxy = options.proxy.value_or(Text()),
            .raw_headers = &raw_headers,
        };
        return request_page(next_url, next, follow_ups + 1);
    }

    const int charset_at = find_bytes(body, "charset=utf-8");
    if ((charset_at != -1 && charset_at < kCharsetDeclarationLimit) ||
        find_text(raw_headers, "utf-8", std::nullopt, true) != -1)
        body = utf8_to_cp936(body);
    return body;
}

} // namespace

Bytes web_request(std::string_view url, const WebRequestOptions& options) {
    return request_page(url, options, 0);
}

} // namespace tavelin
