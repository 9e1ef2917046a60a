#include "support/http_server.h"
#include "web/internet.h"
#include "web/request.h"

#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace tavelin {
namespace {

using test::http_reply;
using test::HttpRecord;
using test::HttpServer;
using test::NginxServer;

std::string ok(std::string_view body = "ok", std::string_view header_lines = "") {
    return http_reply("HTTP/1.1 200 OK", header_lines, body);
}

std::vector<std::string> cookie_lines(const HttpRecord& request) {
    std::vector<std::string> found;
    for (const Text& line : split_text(request.header_block(), "\r\n")) {
        if (line.rfind("Cookie:", 0) == 0)
            found.push_back(line);
    }
    return found;
}

Cookie host_cookie(std::string name, std::string value, std::int64_t expires = 0) {
    return {"127.0.0.1", false, "/", false, expires, std::move(name), std::move(value), false};
}

const Cookie* find_cookie(const std::vector<Cookie>& cookies, std::string_view name) {
    for (const Cookie& c : cookies) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

// The store is shared by the whole process: each test starts from an empty one.
class CookieStore : public testing::Test {
protected:
    void SetUp() override {
        clear_cookie_store();
        set_cookie_listener({});
    }
    void TearDown() override { set_cookie_listener({}); }
};

TEST_F(CookieStore, CookieSetByOneResponseIsSentByTheNext) {
    HttpServer server({ok("one", "Set-Cookie: sid=abc; Path=/"), ok("two")});
    EXPECT_EQ(web_request(server.url("/a")), "one");
    EXPECT_EQ(web_request(server.url("/b")), "two");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(cookie_lines(requests[0]).empty());
    EXPECT_EQ(cookie_lines(requests[1]), std::vector<std::string>{"Cookie: sid=abc"});
}

TEST_F(CookieStore, GivenCookiesKeepTheStoreOutOfTheRequest) {
    import_cookie(host_cookie("kept", "1"));
    HttpServer server({ok("ok", "Set-Cookie: fresh=2; Path=/")});
    Text cookies;
    (void)web_request(server.url("/"), {.cookies = &cookies});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(cookie_lines(server.requests()[0]).empty());
    EXPECT_EQ(cookies, "fresh=2");
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "kept");
}

TEST_F(CookieStore, CookieHandedInIsSentAndAnExpiredOneRemovesIt) {
    import_cookie(host_cookie("imp", "1"));
    import_cookie({"127.0.0.1", false, "/elsewhere", false, 0, "other", "x", false});
    HttpServer server({ok(), ok()});
    (void)web_request(server.url("/"));
    import_cookie(host_cookie("imp", "1", 1));
    (void)web_request(server.url("/"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(cookie_lines(requests[0]), std::vector<std::string>{"Cookie: imp=1"});
    EXPECT_TRUE(cookie_lines(requests[1]).empty());
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "other");
}

TEST_F(CookieStore, SnapshotDescribesCookiesFromResponses) {
    HttpServer server({ok("ok", "Set-Cookie: a=1; Path=/p; HttpOnly\r\n"
                                "Set-Cookie: b=2; Expires=Wed, 01 Jan 2100 00:00:00 GMT")});
    (void)web_request(server.url("/"));
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 2u);
    const Cookie* a = find_cookie(stored, "a");
    const Cookie* b = find_cookie(stored, "b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->domain, "127.0.0.1");
    EXPECT_FALSE(a->include_subdomains);
    EXPECT_EQ(a->path, "/p");
    EXPECT_EQ(a->value, "1");
    EXPECT_TRUE(a->http_only);
    EXPECT_FALSE(a->secure);
    EXPECT_EQ(a->expires, 0);
    EXPECT_EQ(b->path, "/");
    EXPECT_EQ(b->expires, 4102444800);
    EXPECT_FALSE(b->http_only);
}

TEST_F(CookieStore, ImportedCookieComesBackUnchanged) {
    const Cookie in{"shop.tavelin.example", true, "/x", true, 4102444800, "n", "v", true};
    import_cookie(in);
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 1u);
    const Cookie& out = stored[0];
    EXPECT_EQ(std::tie(out.domain, out.include_subdomains, out.path, out.secure, out.expires,
                       out.name, out.value, out.http_only),
              std::tie(in.domain, in.include_subdomains, in.path, in.secure, in.expires, in.name,
                       in.value, in.http_only));
}

TEST_F(CookieStore, ImportIgnoresALeadingDotAndRefusesWhatCannotBeStored) {
    import_cookie({".shop.tavelin.example", true, "/", false, 0, "dot", "1", false});
    import_cookie({"", false, "/", false, 0, "nodomain", "1", false});
    import_cookie({"h.tavelin.example", false, "/", false, 0, "", "1", false});
    import_cookie({"h.tavelin.example", false, "/", false, 0, "tab", "a\tb", false});
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].domain, "shop.tavelin.example");
    EXPECT_TRUE(stored[0].include_subdomains);
}

TEST_F(CookieStore, ListenerHearsSetChangedAndRemovedCookiesOnTheRequestThread) {
    std::mutex mutex;
    std::vector<Cookie> heard;
    std::vector<std::thread::id> threads;
    set_cookie_listener([&](const Cookie& c) {
        std::lock_guard lock(mutex);
        heard.push_back(c);
        threads.push_back(std::this_thread::get_id());
    });
    HttpServer server({ok("ok", "Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=1; Path=/"),
                       ok("ok", "Set-Cookie: a=2; Path=/\r\n"
                                "Set-Cookie: b=; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT"),
                       ok()});

    std::thread([&] { (void)web_request(server.url("/")); }).join();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    heard.clear();

    (void)web_request(server.url("/"));
    ASSERT_EQ(heard.size(), 2u);
    const Cookie* a = find_cookie(heard, "a");
    const Cookie* b = find_cookie(heard, "b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->value, "2");
    EXPECT_GT(b->expires, 0);
    EXPECT_LT(b->expires, static_cast<std::int64_t>(std::time(nullptr)));
    heard.clear();

    (void)web_request(server.url("/"));
    EXPECT_TRUE(heard.empty());
}

TEST_F(CookieStore, ConcurrentRequestsAllLandInTheStore) {
    HttpServer server([](const HttpRecord& request) {
        // "GET /n/<i> HTTP/1.1": each request sets a cookie of its own.
        const std::string line = request.request_line();
        const std::string i = line.substr(7, line.find(' ', 7) - 7);
        return ok("ok", "Set-Cookie: c" + i + "=v; Path=/");
    });
    std::atomic<int> heard{0};
    set_cookie_listener([&](const Cookie&) { ++heard; });
    constexpr int kThreads = 8;
    constexpr int kEach = 10;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < kEach; ++k)
                (void)web_request(server.url("/n/" + std::to_string(t * kEach + k)));
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(cookie_store_snapshot().size(), std::size_t{kThreads * kEach});
    EXPECT_GE(heard.load(), kThreads * kEach);
}

TEST(InternetClient, RawHeaderQueryWritesNothingWhenTheBlockDoesNotFit) {
    HttpServer server({"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"});
    const std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 2";
    auto root = internet_open("agent", InternetAccess::direct);
    ASSERT_TRUE(root);
    auto connection = internet_connect(*root, "127.0.0.1", server.port());
    ASSERT_TRUE(connection);
    auto request = http_open_request(*connection, "GET", "/", "HTTP/1.1", kInternetFlagReload);
    ASSERT_TRUE(request);
    std::string buffer(100, '#');
    std::uint32_t length = 10;
    EXPECT_FALSE(http_query_raw_headers(*request, buffer.data(), length)); // nothing yet
    EXPECT_EQ(length, 10u);

    EXPECT_TRUE(http_send_request(*request, "", nullptr));
    EXPECT_FALSE(http_query_raw_headers(*request, buffer.data(), length));
    EXPECT_EQ(buffer, std::string(100, '#'));
    EXPECT_EQ(length, block.size() + 1);

    EXPECT_TRUE(http_query_raw_headers(*request, buffer.data(), length));
    EXPECT_EQ(length, block.size());
    EXPECT_EQ(buffer.substr(0, block.size() + 2), block + '\0' + '#');

    EXPECT_EQ(internet_query_data_available(*request), 2u);
    char chunk[1];
    std::string body;
    while (internet_read_file(*request, chunk, 1) == 1)
        body += chunk[0];
    EXPECT_EQ(body, "ok");
    EXPECT_EQ(internet_query_data_available(*request), 0u);
}

TEST(InternetClient, SendsTheRequestLineAsOpened) {
    struct Case {
        const char* verb;
        const char* object_name;
        const char* version;
        const char* request_line;
    };
    const Case cases[] = {
        {"GET", "/a?b=1", "HTTP/1.0", "GET /a?b=1 HTTP/1.0"},
        {"GET", "/p?q#fragment", "HTTP/1.1", "GET /p?q HTTP/1.1"},
        {"GET", "/a b?c d", "HTTP/1.1", "GET /a%20b?c%20d HTTP/1.1"},
        {"GET", "", "HTTP/1.1", "GET / HTTP/1.1"},
        {"DELETE", "/d", "HTTP/1.1", "DELETE /d HTTP/1.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request_line);
        HttpServer server({ok()});
        auto root = internet_open("agent", InternetAccess::direct);
        auto connection = internet_connect(*root, "127.0.0.1", server.port());
        auto request = http_open_request(*connection, c.verb, c.object_name, c.version, 0);
        ASSERT_TRUE(request);
        EXPECT_TRUE(http_send_request(*request, "X: 1", nullptr));
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].request_line(), c.request_line);
    }
}

TEST(InternetClient, RefusesBadHandlesAndServerNames) {
    auto root = internet_open("agent", InternetAccess::direct);
    ASSERT_TRUE(root);
    EXPECT_FALSE(internet_connect(*root, "", 80));
    EXPECT_FALSE(internet_connect(*root, "h", -1));
    EXPECT_FALSE(internet_connect(*root, "h", 65536));
    auto connection = internet_connect(*root, "a.b.c?x=1", 80);
    ASSERT_TRUE(connection); // names are looked at only when the request is sent
    EXPECT_FALSE(http_open_request(*connection, "", "/", "HTTP/1.1", 0));
    auto request = http_open_request(*connection, "GET", "/", "HTTP/1.1", 0);
    ASSERT_TRUE(request);
    EXPECT_FALSE(http_send_request(*request, "", nullptr));
    char buffer[100];
    std::uint32_t length = sizeof buffer;
    EXPECT_FALSE(http_query_raw_headers(*request, buffer, length));
    EXPECT_EQ(internet_read_file(*request, buffer, sizeof buffer), 0u);
}

TEST(InternetClient, ProxyListNamesAProxyPerScheme) {
    HttpServer proxy([](const HttpRecord&) { return ok("proxied"); });
    HttpServer target([](const HttpRecord&) { return ok("direct"); });
    const std::string server = "127.0.0.1:" + std::to_string(proxy.port());
    const std::pair<std::string, const char*> cases[] = {
        {"https=127.0.0.1:1 http=" + server, "proxied"},
        {server, "proxied"}, // an entry without a scheme serves every scheme
        {"http=;https=" + server, "direct"},
        {"https=" + server, "direct"},
    };
    for (const auto& [list, expected] : cases) {
        SCOPED_TRACE(list);
        auto root = internet_open("agent", InternetAccess::proxy, list);
        auto connection = internet_connect(*root, "127.0.0.1", target.port());
        auto request = http_open_request(*connection, "GET", "/p", "HTTP/1.1", 0);
        ASSERT_TRUE(request);
        EXPECT_TRUE(http_send_request(*request, "", nullptr));
        char body[100];
        const std::uint32_t n = internet_read_file(*request, body, sizeof body);
        EXPECT_EQ(std::string(body, n), expected);
    }
    const auto requests = proxy.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].request_line(),
              "GET http://127.0.0.1:" + std::to_string(target.port()) + "/p HTTP/1.1");
}

TEST(ReadWebFilePlain, GetsTheBodyFollowingRedirects) {
    HttpServer server({http_reply("HTTP/1.1 302 Found", "Location: /final", ""), ok("final")});
    EXPECT_EQ(read_web_file_plain(server.url("/start")), "final");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].request_line(), "GET /final HTTP/1.1");
    EXPECT_NE(requests[0].head.find("User-Agent: " + std::string(kDefaultAgent) + "\r\n"),
              std::string::npos);

    int port = 0;
    {
        HttpServer closed(std::vector<std::string>{});
        port = closed.port();
    }
    EXPECT_EQ(read_web_file_plain("http://127.0.0.1:" + std::to_string(port) + "/"), "");
}

class Https : public testing::Test {
protected:
    void SetUp() override {
        if (!test::nginx_available())
            GTEST_SKIP() << "nginx or openssl is missing: HTTPS is not tested";
        clear_cookie_store();
        nginx_ = std::make_unique<NginxServer>(NginxServer::Options{
            .tls = true,
            .root_dir = {},
            .server_extra = "location = /page { return 200 \"secure page\"; }\n"
                            "location = /cookie { add_header Set-Cookie \"tls=1; Path=/; Secure;"
                            " HttpOnly\"; return 200 \"set\"; }\n"
                            "location = /echo { return 200 \"[$http_cookie]\"; }\n"
                            "location = /down { return 302 http://127.0.0.1:1/; }\n"});
        ASSERT_TRUE(nginx_->running()) << nginx_->error();
    }
    void TearDown() override { set_certificate_authorities(""); }

    std::unique_ptr<NginxServer> nginx_;
};

TEST_F(Https, TrustsOnlyAVerifiedCertificate) {
    set_certificate_authorities("");
    EXPECT_EQ(web_request(nginx_->url("/page")), ""); // the test authority is not in the system's

    set_certificate_authorities(nginx_->ca_file());
    Text raw_headers;
    EXPECT_EQ(web_request(nginx_->url("/page"), {.raw_headers = &raw_headers}), "secure page");
    EXPECT_EQ(raw_headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

TEST_F(Https, SecureCookiesTravelOverHttps) {
    set_certificate_authorities(nginx_->ca_file());
    EXPECT_EQ(web_request(nginx_->url("/cookie")), "set");
    const auto stored = cookie_store_snapshot();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored[0].secure);
    EXPECT_TRUE(stored[0].http_only);
    EXPECT_EQ(web_request(nginx_->url("/echo")), "[tls=1]");
}

TEST_F(Https, RedirectsChangeSchemeOnlyFromHttpToHttpsAndOnlyWhenAllowed) {
    set_certificate_authorities(nginx_->ca_file());
    HttpServer origin([this](const HttpRecord&) {
        return http_reply("HTTP/1.1 302 Found", "Location: " + nginx_->url("/page"), "");
    });
    // web_request allows http to https for every http address.
    EXPECT_EQ(web_request(origin.url("/")), "secure page");

    auto root = internet_open("agent", InternetAccess::direct);
    auto connection = internet_connect(*root, "127.0.0.1", origin.port());
    auto request = http_open_request(*connection, "GET", "/", "HTTP/1.1", kInternetFlagReload);
    (void)http_send_request(*request, "", nullptr);
    char buffer[1000];
    std::uint32_t length = sizeof buffer;
    ASSERT_TRUE(http_query_raw_headers(*request, buffer, length));
    EXPECT_EQ(std::string(buffer).rfind("HTTP/1.1 302 Found\r\n", 0), 0u);

    // From https back to http is never followed.
    Text raw_headers;
    (void)web_request(nginx_->url("/down"), {.raw_headers = &raw_headers});
    EXPECT_EQ(raw_headers.rfind("HTTP/1.1 302 Moved Temporarily\r\n", 0), 0u);
}

} // namespace
} // namespace tavelin
