#include "mail/mail_date.h"

#include <cstdio>
#include <cstdlib>

namespace tavelin {

namespace {
// Spelt out here because strftime follows LC_TIME, and the desktop sets the user's locale.
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
} // namespace

Text mail_date(const std::tm& time, long utc_offset_seconds) {
    const long minutes = std::labs(utc_offset_seconds) / 60;
    const char sign = utc_offset_seconds < 0 && minutes > 0 ? '-' : '+';
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[(time.tm_wday % 7 + 7) % 7], time.tm_mday,
                  kMonths[(time.tm_mon % 12 + 12) % 12], time.tm_year + 1900, time.tm_hour,
                  time.tm_min, time.tm_sec, sign, minutes / 60, minutes % 60);
    return buffer;
}

Text mail_date(std::time_t moment) {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) {
        gmtime_r(&moment, &local);
        return mail_date(local, 0);
    }
    return mail_date(local, local.tm_gmtoff);
}

} // namespace tavelin
