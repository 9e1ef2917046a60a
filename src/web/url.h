#pragma once
// Taking an address apart for the internet client, and cutting values out of header text.
// Pure functions over code page 936 texts; positions are 1-based.

#include "runtime/text.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavelin {

/// What lies between the first start marker (searched from `from`, default 1) and the next end
/// marker; "#引号" in a marker stands for a double quote. Case-blind unless case_sensitive is
/// true. Empty when either marker is missing.
[[nodiscard]] Text text_between(std::string_view text, std::string_view start_marker,
                                std::string_view end_marker,
                                std::optional<std::int32_t> from = std::nullopt,
                                std::optional<bool> case_sensitive = std::nullopt);

/// The text after the line's first ":", trimmed of spaces; empty when the line has no colon.
[[nodiscard]] Text header_value(std::string_view line);

/// The lower-cased host of the address (http assumed without a scheme), optionally cut to its
/// last two labels, and without its port unless keep_port is true.
[[nodiscard]] Text url_host(std::string_view address,
                            std::optional<bool> last_two_labels = std::nullopt,
                            std::optional<bool> keep_port = std::nullopt);

/// The port written in the address (0 when its text is empty), else 443 for https and 80.
[[nodiscard]] std::int32_t url_port(std::string_view address);

/// Path and query of the address, in its own letter case, beginning with "/"; "/" when no "/"
/// follows the host.
[[nodiscard]] Text url_path(std::string_view address);

} // namespace tavelin
