#pragma once
// The program's HTTP request routine: one request over the internet client with the default
// headers filled in, the response's cookies collected and merged, a moved page followed, and a
// UTF-8 page turned into code page 936.

#include "runtime/text.h"

#include <cstdint>
#include <optional>

namespace tavelin {

/// The optional arguments of web_request. Pointers are the caller's variables (null = absent);
/// the routine writes its results into them. cookies and proxy act on whether they are given.
struct WebRequestOptions {
    std::optional<std::int32_t> method =
        std::nullopt; ///< 1: POST; else GET; a body is sent for all but 0
    std::optional<Text> post_text = std::nullopt; ///< the body when post_bytes is empty
    Text* cookies = nullptr;          ///< sent and merged; given: the cookie store is not used
    Text* response_cookies = nullptr; ///< out: the response's cookies, "; "-separated
    Text* headers = nullptr;          ///< in and out: extra lines, completed with the defaults
    Text* location = nullptr;         ///< out: the Location value, else the raw header block
    std::optional<bool> no_redirect =
        std::nullopt;            ///< true: redirects are not followed automatically
    Bytes* post_bytes = nullptr; ///< in and out: the body; filled from post_text if empty
    std::optional<Text> proxy = std::nullopt; ///< given: the proxy for plain HTTP ("" = none)
    Text* raw_headers = nullptr;              ///< out: status and header lines, at most 4999 bytes
};

/// The response body of one request to url, converted from UTF-8 when the page declares it;
/// empty on failure (indistinguishable from an empty page).
[[nodiscard]] Bytes web_request(std::string_view url, const WebRequestOptions& options = {});

} // namespace tavelin
