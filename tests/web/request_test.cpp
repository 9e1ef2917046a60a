#include "runtime/codepage.h"
#include "support/http_server.h"
#include "web/internet.h"
#include "web/request.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace tavelin {
namespace {

using test::http_reply;
using test::HttpRecord;
using test::HttpServer;

constexpr std::string_view kDefaultHeaders = "\r\nAccept: */*"
                                             "\r\nAccept-Language: zh-cn"
                                             "\r\nContent-Type: application/x-www-form-urlencoded";

std::string ok(std::string_view body = "ok", std::string_view header_lines = "") {
    return http_reply("HTTP/1.1 200 OK", header_lines, body);
}

// The header lines of a request whose name is the given one, ignoring case.
std::vector<std::string> lines_named(const HttpRecord& request, std::string_view name) {
    std::vector<std::string> found;
    for (const Text& line : split_text(request.header_block(), "\r\n")) {
        const Text lower = to_lower(line);
        if (lower.rfind(to_lower(name) + ":", 0) == 0)
            found.push_back(line);
    }
    return found;
}

class WebRequest : public testing::Test {
protected:
    void SetUp() override { clear_cookie_store(); }
};

TEST_F(WebRequest, SendsTheDefaultHeaderTextAndLeavesItInHeaders) {
    HttpServer server({ok("body")});
    const std::string url = server.url("/x/y?z=1");
    Text headers;
    EXPECT_EQ(web_request(url, {.headers = &headers}), "body");

    const Text expected_headers = "Referer: " + url + std::string(kDefaultHeaders);
    EXPECT_EQ(headers, expected_headers);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw(), "GET /x/y?z=1 HTTP/1.1\r\n"
                                 "Host: 127.0.0.1:" +
                                     std::to_string(server.port()) +
                                     "\r\n"
                                     "User-Agent: " +
                                     std::string(kDefaultAgent) + "\r\n" + expected_headers +
                                     "\r\n\r\n");
}

TEST_F(WebRequest, AddsRefererWhenOnlyALowerCaseOneIsThere) {
    HttpServer server({ok()});
    Text headers = "referer: x";
    (void)web_request(server.url("/"), {.headers = &headers});
    EXPECT_EQ(headers, "referer: x\r\nReferer: " + server.url("/") + std::string(kDefaultHeaders));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].head.find("\r\nreferer: x\r\nReferer: " + server.url("/") + "\r\n"),
              std::string::npos);
}

TEST_F(WebRequest, KeepsCallerLinesFirstAndAddsOnlyMissingDefaults) {
    HttpServer server({ok()});
    Text headers = "X-One: 1\r\nAccept: text/html\r\nReferer: r";
    (void)web_request(server.url("/"), {.headers = &headers});
    EXPECT_EQ(headers, "X-One: 1\r\nAccept: text/html\r\nReferer: r"
                       "\r\nAccept-Language: zh-cn"
                       "\r\nContent-Type: application/x-www-form-urlencoded");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].head.find("\r\n" + headers + "\r\n\r\n"), std::string::npos);
    EXPECT_EQ(lines_named(requests[0], "Accept").size(), 1u);
}

TEST_F(WebRequest, TakesTheAgentFromAUserAgentLine) {
    struct Case {
        const char* headers;
        const char* sent_agent_line;
    };
    const std::string default_line = "User-Agent: " + std::string(kDefaultAgent);
    const Case cases[] = {
        {"User-Agent: A\r\nX-Two: 2", "User-Agent: A"},
        {"user-agent:   B  \r\n", "user-agent:   B  "},
        {"User-Agent:\r\nX-Two: 2", default_line.c_str()}, // an empty value: the default
        {"User-Agent:   \r\nX-Two: 2", default_line.c_str()},
        {"X-Two: 2\r\nUser-Agent: C", "User-Agent: C"}, // the last line is sent as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        HttpServer server({ok()});
        Text headers = c.headers;
        (void)web_request(server.url("/"), {.headers = &headers});
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(lines_named(requests[0], "User-Agent"),
                  std::vector<std::string>{c.sent_agent_line});
    }
}

TEST_F(WebRequest, UserAgentLineIsSentAmongTheCallerLines) {
    HttpServer server({ok()});
    Text headers = "X-Zero: 0\r\nUser-Agent: A\r\nX-Two: 2";
    (void)web_request(server.url("/"), {.headers = &headers});
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].head.find("\r\nX-Zero: 0\r\nUser-Agent: A\r\nX-Two: 2\r\n"),
              std::string::npos);
}

TEST_F(WebRequest, SendsBodiesByMethod) {
    struct Case {
        std::optional<std::int32_t> method;
        std::optional<Text> post_text;
        const char* post_bytes_before;
        const char* request_line;
        const char* body;
        const char* content_length; // "" = no such line
        const char* post_bytes_after;
    };
    const Case cases[] = {
        {{}, "a=1", "", "GET / HTTP/1.1", "", "", ""},
        {0, "a=1", "", "GET / HTTP/1.1", "", "", ""},
        {1, "a=1", "", "POST / HTTP/1.1", "a=1", "Content-Length: 3", "a=1"},
        {1, "a=1", "b=22", "POST / HTTP/1.1", "b=22", "Content-Length: 4", "b=22"},
        {1, {}, "", "POST / HTTP/1.1", "", "Content-Length: 0", ""},
        {2, "q=1", "", "GET / HTTP/1.1", "q=1", "Content-Length: 3", "q=1"},
        {-1, "q", "", "GET / HTTP/1.1", "q", "Content-Length: 1", "q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method.value_or(-99) << " text "
                                        << c.post_text.value_or("(absent)"));
        HttpServer server({ok()});
        Bytes post_bytes = c.post_bytes_before;
        (void)web_request(
            server.url("/"),
            {.method = c.method, .post_text = c.post_text, .post_bytes = &post_bytes});
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].request_line(), c.request_line);
        EXPECT_EQ(requests[0].body, c.body);
        const auto lengths = lines_named(requests[0], "Content-Length");
        EXPECT_EQ(lengths.empty() ? "" : lengths[0], c.content_length);
        EXPECT_TRUE(lines_named(requests[0], "Expect").empty());
        EXPECT_EQ(post_bytes, c.post_bytes_after);
    }
}

TEST_F(WebRequest, PostsBinaryBytes) {
    HttpServer server({ok()});
    Bytes post_bytes("a\0b\xFF", 4);
    (void)web_request(server.url("/"), {.method = 1, .post_bytes = &post_bytes});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].body, post_bytes);
}

TEST_F(WebRequest, CollectsExactCaseSetCookieLines) {
    struct Case {
        const char* reply_lines;
        const char* response_cookies;
    };
    const Case cases[] = {
        {"Set-Cookie: a=1; path=/\r\nset-cookie: c=3; path=/\r\nSet-Cookie: b=2; path=/",
         "a=1; b=2"},
        {"Set-Cookie: a=1; path=/\r\nSet-Cookie: b", "a=1; "}, // no ";": an empty entry
        {"Set-Cookie: x", ""},
        {"Set-Cookie:   sp=1  ; HttpOnly", "sp=1"},
        {"X-None: 1", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply_lines);
        HttpServer server({ok("ok", c.reply_lines)});
        Text response_cookies = "stale";
        (void)web_request(server.url("/"), {.response_cookies = &response_cookies});
        EXPECT_EQ(response_cookies, c.response_cookies);
    }
}

TEST_F(WebRequest, MergesGivenCookiesAndSendsThemAsOneLine) {
    HttpServer server({ok("ok", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/")});
    Text cookies = "a=0; z=9";
    Text response_cookies;
    (void)web_request(server.url("/"),
                      {.cookies = &cookies, .response_cookies = &response_cookies});
    EXPECT_EQ(cookies, "a=1; b=2; z=9");
    EXPECT_EQ(response_cookies, "a=1;b=2");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(lines_named(server.requests()[0], "Cookie"),
              std::vector<std::string>{"Cookie: a=0; z=9"});
}

TEST_F(WebRequest, EmptyGivenCookiesSendNoCookieLineButStillMerge) {
    HttpServer server({ok("ok", "Set-Cookie: s=1; path=/")});
    Text cookies;
    Text headers;
    (void)web_request(server.url("/"), {.cookies = &cookies, .headers = &headers});
    EXPECT_EQ(cookies, "s=1");
    EXPECT_EQ(headers.find("Cookie"), std::string::npos);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(lines_named(server.requests()[0], "Cookie").empty());
}

TEST_F(WebRequest, SetsLocationFromTheLastLocationLineOrTheWholeBlock) {
    struct Case {
        const char* reply_lines;
        const char* location; // null: the raw header block
    };
    const Case cases[] = {
        {"Location:  /a  ", "/a"},
        {"Content-Location: /c", "/c"},
        {"Location: /1\r\nContent-Location: /2", "/2"},
        {"Content-Location: /2\r\nLocation: http://h/p", "http://h/p"},
        {"location: /lower", nullptr}, // exact case only
        {"X-Other: 1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply_lines);
        HttpServer server({ok("ok", c.reply_lines)});
        Text location = "stale";
        Text raw_headers;
        (void)web_request(server.url("/"), {.location = &location, .raw_headers = &raw_headers});
        EXPECT_EQ(raw_headers,
                  "HTTP/1.1 200 OK\r\n" + std::string(c.reply_lines) + "\r\nContent-Length: 2");
        EXPECT_EQ(location, c.location ? Text(c.location) : raw_headers);
    }
}

TEST_F(WebRequest, FollowsA301ToLocationPlusThePathAndQuery) {
    HttpServer target({ok("moved here")});
    HttpServer origin(
        {http_reply("HTTP/1.1 301 Moved Permanently", "Location: " + target.url(""), "gone")});
    const std::string url = origin.url("/x?y");
    Text headers;
    Text location;
    Text cookies = "k=v";
    EXPECT_EQ(
        web_request(
            url,
            {.cookies = &cookies, .headers = &headers, .location = &location, .no_redirect = true}),
        "moved here");

    const auto requests = target.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line(), "GET /x?y HTTP/1.1");
    // The follow-up reuses the completed header text: the Referer still names the first address.
    EXPECT_EQ(lines_named(requests[0], "Referer"), std::vector<std::string>{"Referer: " + url});
    EXPECT_EQ(location, "HTTP/1.1 200 OK\r\nContent-Length: 10");
}

// The status test ignores letter case.
TEST_F(WebRequest, FollowUpRequestCarriesTheMethodAndBody) {
    HttpServer target({ok("done")});
    HttpServer origin(
        {http_reply("HTTP/1.1 301 MOVED PERMANENTLY", "Location: " + target.url(""), "")});
    EXPECT_EQ(
        web_request(origin.url("/form"), {.method = 1, .post_text = "a=1", .no_redirect = true}),
        "done");
    ASSERT_EQ(target.requests().size(), 1u);
    EXPECT_EQ(target.requests()[0].request_line(), "POST /form HTTP/1.1");
    EXPECT_EQ(target.requests()[0].body, "a=1");
}

TEST_F(WebRequest, AnswersWithoutFollowUpForOtherMovedStatusLines) {
    for (const char* status : {"HTTP/1.1 302 Moved Temporarily", "HTTP/1.0 301 Moved Permanently",
                               "HTTP/1.1 301 Redirect", "HTTP/1.1 200 Moved"}) {
        SCOPED_TRACE(status);
        HttpServer target({ok("target")});
        HttpServer origin({http_reply(status, "Location: " + target.url(""), "own body")});
        EXPECT_EQ(web_request(origin.url("/x"), {.no_redirect = true}), "own body");
        EXPECT_TRUE(target.requests().empty());
    }
}

TEST_F(WebRequest, GivesUpAfterTenMovedFollowUps) {
    std::unique_ptr<HttpServer> server;
    server = std::make_unique<HttpServer>([&server](const HttpRecord&) {
        return http_reply("HTTP/1.1 301 Moved Permanently", "Location: " + server->url(""), "");
    });
    Text location;
    EXPECT_EQ(web_request(server->url("/loop"), {.location = &location, .no_redirect = true}), "");
    EXPECT_EQ(server->requests().size(), 11u);
    EXPECT_EQ(server->requests().back().request_line(), "GET /loop HTTP/1.1");
}

TEST_F(WebRequest, FollowsRedirectsByItselfUnlessToldNotTo) {
    HttpServer target({ok("target")});
    HttpServer origin({http_reply("HTTP/1.1 302 Found", "Location: " + target.url("/t"), "")});
    Text raw_headers;
    EXPECT_EQ(web_request(origin.url("/x"), {.raw_headers = &raw_headers}), "target");
    ASSERT_EQ(target.requests().size(), 1u);
    EXPECT_EQ(target.requests()[0].request_line(), "GET /t HTTP/1.1");
    EXPECT_EQ(raw_headers, "HTTP/1.1 200 OK\r\nContent-Length: 6"); // the final response's
}

TEST_F(WebRequest, DecodesUtf8WhenTheBodyDeclaresItEarlyOrTheHeadersMentionIt) {
    struct Case {
        int position; // 1-based position of "charset=utf-8" in the body
        const char* declaration;
        const char* reply_lines;
        bool decoded;
    };
    const Case cases[] = {
        {499, "charset=utf-8", "", true},
        {500, "charset=utf-8", "", false},
        {500, "charset=utf-8", "Content-Type: text/html; charset=UTF-8", true},
        {1, "charset=UTF-8", "", false}, // the body's declaration is matched in lower case only
        {1, "", "X-Note: Utf-8", true},
        {1, "", "", false},
    };
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87"; // 中文 in UTF-8
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.position << " " << c.declaration << " " << c.reply_lines);
        const std::string body = std::string(c.position - 1, 'x') + c.declaration + chinese;
        HttpServer server({ok(body, c.reply_lines)});
        const Bytes page = web_request(server.url("/"));
        EXPECT_EQ(page, c.decoded ? std::string(c.position - 1, 'x') + c.declaration + cp936("中文")
                                  : body);
    }
}

TEST_F(WebRequest, HeaderBlockOf4999BytesFitsAndOneMoreDoesNot) {
    const std::string base = "HTTP/1.1 200 OK\r\nX-Pad: \r\nContent-Length: 2";
    for (const std::size_t size : {std::size_t{4999}, std::size_t{5000}, std::size_t{9000}}) {
        SCOPED_TRACE(size);
        const std::string pad(size - base.size(), 'p');
        HttpServer server({"HTTP/1.1 200 OK\r\nX-Pad: " + pad + "\r\nContent-Length: 2\r\n\r\nok"});
        Text raw_headers;
        Text location;
        EXPECT_EQ(
            web_request(server.url("/"), {.location = &location, .raw_headers = &raw_headers}),
            "ok");
        if (size == 4999) {
            EXPECT_EQ(raw_headers, "HTTP/1.1 200 OK\r\nX-Pad: " + pad + "\r\nContent-Length: 2");
        } else {
            EXPECT_EQ(raw_headers, std::string(5000, ' '));
            EXPECT_EQ(location, std::string(5000, ' '));
        }
    }
}

TEST_F(WebRequest, UnreachableServerGivesEmptyBytesAndSpaces) {
    int port = 0;
    {
        HttpServer closed(std::vector<std::string>{});
        port = closed.port();
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/p";
    Text headers;
    Text location;
    Text raw_headers;
    Text response_cookies = "stale";
    EXPECT_EQ(web_request(url, {.response_cookies = &response_cookies,
                                .headers = &headers,
                                .location = &location,
                                .raw_headers = &raw_headers}),
              "");
    EXPECT_EQ(raw_headers, std::string(5000, ' '));
    EXPECT_EQ(location, std::string(5000, ' '));
    EXPECT_EQ(response_cookies, "");
    EXPECT_EQ(headers, "Referer: " + url + std::string(kDefaultHeaders));
}

// Slow by nature: the whole point is that the wait ends.
TEST_F(WebRequest, SilentServerIsGivenUpAfterHalfAMinute) {
    std::atomic<bool> release{false};
    HttpServer server([&release](const HttpRecord&) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return std::string();
    });
    Text raw_headers;
    const auto start = std::chrono::steady_clock::now();
    const Bytes page = web_request(server.url("/"), {.raw_headers = &raw_headers});
    const auto waited = std::chrono::steady_clock::now() - start;
    release = true;
    EXPECT_EQ(page, "");
    EXPECT_EQ(raw_headers, std::string(5000, ' '));
    EXPECT_GE(waited, std::chrono::seconds(29));
    EXPECT_LT(waited, std::chrono::seconds(50));
}

TEST_F(WebRequest, AddressWithoutServerWritesNothing) {
    for (const char* url : {"http:///x", "http://a.b:99999/"}) {
        SCOPED_TRACE(url);
        Text headers = "X: 1";
        Text raw_headers = "untouched";
        Text location = "untouched";
        EXPECT_EQ(
            web_request(url,
                        {.headers = &headers, .location = &location, .raw_headers = &raw_headers}),
            "");
        EXPECT_EQ(headers, "X: 1");
        EXPECT_EQ(raw_headers, "untouched");
        EXPECT_EQ(location, "untouched");
    }
}

TEST_F(WebRequest, GoesThroughAGivenProxyForPlainHttp) {
    HttpServer proxy({ok("via proxy")});
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
    EXPECT_EQ(web_request("http://exam.tavelin.example/q?n=1", {.proxy = proxy_address}),
              "via proxy");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].request_line(), "GET http://exam.tavelin.example/q?n=1 HTTP/1.1");
}

TEST_F(WebRequest, EmptyProxyGoesStraightToTheServer) {
    HttpServer server({ok("direct")});
    EXPECT_EQ(web_request(server.url("/"), {.proxy = ""}), "direct");
}

} // namespace
} // namespace tavelin
