#pragma once
// The Date header of a mail in RFC 5322 form.

#include "runtime/text.h"

#include <ctime>

namespace tavelin {

/// The broken-down time with its offset east of UTC in seconds, as
/// "Thu, 05 Dec 2024 09:07:03 +0800": English names whatever the locale, offset rounded toward
/// zero to whole minutes.
[[nodiscard]] Text mail_date(const std::tm& time, long utc_offset_seconds);

/// The moment in local time (daylight saving included) with its offset from UTC.
[[nodiscard]] Text mail_date(std::time_t moment);

} // namespace tavelin
