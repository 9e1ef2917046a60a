#include "runtime/codepage.h"
#include "web/url.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

TEST(TextBetween, QuotePlaceholderStandsForADoubleQuoteInMarkers) {
    const Text start = cp936("a#引号b");
    EXPECT_EQ(text_between("a\"b(c)", start, "("), "");
    EXPECT_EQ(text_between("a\"b(c)", start, ")"), "(c");
    EXPECT_EQ(text_between("x=\"v\";", cp936("=#引号"), cp936("#引号")), "v");
}

TEST(TextBetween, Cases) {
    struct Case {
        const char* text;
        const char* start;
        const char* end;
        std::optional<std::int32_t> from;
        std::optional<bool> case_sensitive;
        const char* expected;
    };
    const Case cases[] = {
        {"User-Agent: A\r\nX: 1", "User-Agent:", "\r\n", {}, {}, " A"},
        {"USER-AGENT: A\r\n", "user-agent:", "\r\n", {}, {}, " A"},
        {"USER-AGENT: A\r\n", "user-agent:", "\r\n", {}, true, ""},
        {"User-Agent: A\r\n", "User-Agent:", "\r\n", {}, true, " A"},
        {"ab", "a", "b", {}, {}, ""},      // end marker right after the start marker
        {"abc", "a", "", {}, {}, ""},      // empty end marker
        {"abc", "x", "c", {}, {}, ""},     // no start marker
        {"abc", "a", "x", {}, {}, ""},     // no end marker
        {"[1][2]", "[", "]", {}, {}, "1"}, // the first start marker, the next end marker
        {"[1][2]", "[", "]", 2, {}, "2"},  // searched from a position
        {"[1][2]", "[", "]", -5, {}, "1"}, // a position below 1 means the beginning
        {"[1][2]", "[", "]", 99, {}, ""},  // beyond the text
        {"abc", "", "c", {}, {}, "ab"},    // an empty start marker is found at 1
        {"a;b;c", "a", ";", {}, {}, ""},   // end directly after start
        {"HTTP/1.1 301 Moved Permanently", "HTTP/1.1 ", " Moved", {}, {}, "301"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " | " << c.start << " | " << c.end);
        EXPECT_EQ(text_between(c.text, c.start, c.end, c.from, c.case_sensitive), c.expected);
    }
}

TEST(TextBetween, SkipsMarkersInsideDoubleByteCharacters) {
    // 0xB0 0x5B is one character; its trail byte is not the "[" sought.
    EXPECT_EQ(text_between("\xB0[x][y]", "[", "]"), "y");
}

TEST(HeaderValue, Cases) {
    const std::pair<const char*, const char*> cases[] = {
        {"no colon here", ""},
        {"Location:  /x  ", "/x"},
        {"Location: http://h/p", "http://h/p"},
        {"Location:", ""},
        {"A:\tv\r", "\tv\r"},         // only spaces are trimmed
        {"A:\xA1\xA1v\xA1\xA1", "v"}, // full-width spaces are
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(header_value(line), expected);
    }
}

TEST(UrlHost, Cases) {
    struct Case {
        const char* address;
        std::optional<bool> last_two_labels;
        std::optional<bool> keep_port;
        const char* expected;
    };
    const Case cases[] = {
        {"HTTPS://A.B.C:8080/x?y=1", {}, {}, "a.b.c"},
        {"HTTPS://A.B.C:8080/x?y=1", {}, true, "a.b.c:8080"},
        {"HTTPS://A.B.C:8080/x?y=1", true, {}, "b.c"},
        {"HTTPS://A.B.C:8080/x?y=1", true, true, "b.c:8080"},
        {"HTTPS://A.B.C:8080/x?y=1", false, false, "a.b.c"},
        {"a.b.c/x", {}, {}, "a.b.c"},
        {"a.b.c", {}, {}, "a.b.c"},
        {"http://a.b.c?x=1", {}, {}, "a.b.c?x=1"},
        {"http://a.b.c", {}, {}, "a.b.c"},
        {"http://localhost/", true, {}, "localhost"},
        {"http://127.0.0.1:8080/", {}, {}, "127.0.0.1"},
        {"", {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(url_host(c.address, c.last_two_labels, c.keep_port), c.expected);
    }
}

TEST(UrlPort, Cases) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"http://a.b.c:8080/", 8080}, {"https://a.b.c/", 443}, {"HTTPS://a.b.c/", 443},
        {"http://a.b.c/", 80},        {"a.b.c", 80},           {"http://a.b.c:/", 0},
        {"https://a.b.c:81/x", 81},   {"http://a.b.c:8x/", 8},
    };
    for (const auto& [address, expected] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(url_port(address), expected);
    }
}

TEST(UrlPath, Cases) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://a.b.c", "/"},
        {"http://a.b.c:8080/x/y?z=1#f", "/x/y?z=1#f"},
        {"HTTP://A.B.C/Dir", "/Dir"},
        {"http://a.b.c?x=1", "/"}, // the query is lost when no "/" follows the host
        {"a.b.c/x?q", "/x?q"},
        {"https://a.b.c/", "/"},
    };
    for (const auto& [address, expected] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(url_path(address), expected);
    }
}

} // namespace
} // namespace tavelin
