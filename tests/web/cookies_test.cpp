#include "web/cookies.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

TEST(MergeCookies, Cases) {
    struct Case {
        const char* sent;
        const char* set;
        const char* merged;
    };
    const Case cases[] = {
        {"a=1; b=2", "b=3", "b=3; a=1"},
        {"a=1", "a=deleted", ""},              // a deleted entry removes the old one
        {"", "x=1; x=1", "x=1"},               // equal entries collapse
        {"", "x=1; x=2", "x=1; x=2"},          // one name, two values: both stay
        {"a=hello world", "", "a=helloworld"}, // every space goes first
        {"a=\xA1\xA1z", "", "a=z"},            // full-width spaces too
        {"", "", ""},
        {"flag", "", "flag"}, // an entry without "=" is its own name
        {"flag", "flag=1", "flag=1"},
        {"a=1;;b=2", "", "a=1; ; b=2"},  // one empty entry between the others
        {"a=1;;;b=2", "", "a=1; ; b=2"}, // only the first empty entry is taken
        {"a=1;", "", "a=1"},             // a trailing separator gives no entry
        {"a=1; a=2", "", "a=1"},         // of old entries with one name only the first
        {"a=1", "b=2; c=deleted", "b=2; a=1"},
        {"A=1", "a=2", "a=2; A=1"},         // names compare with their case
        {"x=deleted", "", ""},              // old deleted entries go too
        {"d=1", "deleted", "deleted; d=1"}, // shorter than "=deleted": never deleted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sent << " + " << c.set);
        Text cookies = c.sent;
        Text response_cookies = c.set;
        EXPECT_EQ(merge_cookies(cookies, response_cookies), c.merged);
        EXPECT_EQ(cookies, c.merged);
    }
}

TEST(MergeCookies, LeavesResponseCookiesWithoutSpaces) {
    Text cookies;
    Text response_cookies = "a=1; b=2";
    (void)merge_cookies(cookies, response_cookies);
    EXPECT_EQ(response_cookies, "a=1;b=2");
}

TEST(CookieName, Cases) {
    const std::pair<const char*, const char*> cases[] = {
        {"a=1", "a"}, {" a =1", "a"}, {"flag", "flag"}, {"=v", ""}, {"a=b=c", "a"}, {"", ""},
    };
    for (const auto& [entry, name] : cases) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(cookie_name(entry), name);
    }
}

TEST(HasCookieNamed, ComparesNamesExactly) {
    const TextList entries = {"a=1", "B=2", "flag"};
    EXPECT_TRUE(has_cookie_named(entries, "a"));
    EXPECT_TRUE(has_cookie_named(entries, "flag"));
    EXPECT_FALSE(has_cookie_named(entries, "b"));
    EXPECT_FALSE(has_cookie_named({}, ""));
}

TEST(JoinUnique, KeepsFirstSeenOrder) {
    EXPECT_EQ(join_unique("b; a; b; c; a", "; "), "b; a; c");
    EXPECT_EQ(join_unique("", "; "), "");
    EXPECT_EQ(join_unique(",x,,x", ","), ",x"); // the empty piece counts as a piece
}

TEST(IndexOfEntry, IsOneBasedAndExact) {
    const TextList entries = {"a", "b", "a", ""};
    EXPECT_EQ(index_of_entry(entries, "a"), 1);
    EXPECT_EQ(index_of_entry(entries, "b"), 2);
    EXPECT_EQ(index_of_entry(entries, ""), 4);
    EXPECT_EQ(index_of_entry(entries, "A"), -1);
}

} // namespace
} // namespace tavelin
