#include "mail/mail_date.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace tavelin {
namespace {

std::tm make_tm(int year, int month, int day, int hour, int minute, int second, int weekday) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;
    return t;
}

TEST(MailDate, WritesTheRfc5322FormWithASignedOffset) {
    const struct {
        long offset;
        const char* expected;
    } cases[] = {
        {8 * 3600, "Thu, 05 Dec 2024 09:07:03 +0800"},
        {0, "Thu, 05 Dec 2024 09:07:03 +0000"},
        {-(3 * 3600 + 30 * 60), "Thu, 05 Dec 2024 09:07:03 -0330"},
        {5 * 3600 + 45 * 60, "Thu, 05 Dec 2024 09:07:03 +0545"},
        {-12 * 3600, "Thu, 05 Dec 2024 09:07:03 -1200"},
        {-30, "Thu, 05 Dec 2024 09:07:03 +0000"}, // less than a minute is no offset
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(mail_date(make_tm(2024, 12, 5, 9, 7, 3, 4), c.offset), c.expected);
    }
    EXPECT_EQ(mail_date(make_tm(1999, 1, 31, 23, 59, 59, 0), 3600),
              "Sun, 31 Jan 1999 23:59:59 +0100");
    EXPECT_EQ(mail_date(make_tm(2026, 7, 1, 0, 0, 0, 3), 3600), "Wed, 01 Jul 2026 00:00:00 +0100");
}

// The offset is that of local time at the moment, daylight saving included.
TEST(MailDate, TakesLocalTimeAndItsOffsetAtTheMoment) {
    const char* saved = std::getenv("TZ");
    const std::string saved_tz = saved != nullptr ? saved : "";
    const std::time_t winter = 1733389623; // 2024-12-05 09:07:03 UTC
    const std::time_t summer = 1719824400; // 2024-07-01 09:00:00 UTC
    const struct {
        const char* tz;
        std::time_t moment;
        const char* expected;
    } cases[] = {
        {"CST-8", winter, "Thu, 05 Dec 2024 17:07:03 +0800"},
        {"UTC0", winter, "Thu, 05 Dec 2024 09:07:03 +0000"},
        {"EST5EDT,M3.2.0,M11.1.0", winter, "Thu, 05 Dec 2024 04:07:03 -0500"},
        {"EST5EDT,M3.2.0,M11.1.0", summer, "Mon, 01 Jul 2024 05:00:00 -0400"},
        {"NST3:30NDT,M3.2.0,M11.1.0", winter, "Thu, 05 Dec 2024 05:37:03 -0330"},
        {"IST-5:30", summer, "Mon, 01 Jul 2024 14:30:00 +0530"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tz);
        ::setenv("TZ", c.tz, 1);
        ::tzset();
        EXPECT_EQ(mail_date(c.moment), c.expected);
    }
    if (saved != nullptr) {
        ::setenv("TZ", saved_tz.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

} // namespace
} // namespace tavelin
