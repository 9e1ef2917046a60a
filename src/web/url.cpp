#include "web/url.h"

namespace tavelin {
namespace {

// "#引号": a caller writes it inside a marker where a double quote is meant.
constexpr std::string_view kQuotePlaceholder = "#\xD2\xFD\xBA\xC5"; // #引号

Text unquote_marker(std::string_view marker) {
    return replace_text(marker, kQuotePlaceholder, "\"", std::nullopt, std::nullopt, true);
}

} // namespace

Text text_between(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                  std::optional<std::int32_t> from, std::optional<bool> case_sensitive) {
    const Text start = unquote_marker(start_marker);
    const Text end = unquote_marker(end_marker);
    const bool ignore_case = !case_sensitive.value_or(false);
    // A start below 1 searches from the beginning, as find_text does by itself.
    const int p = find_text(text, start, from.value_or(1), ignore_case);
    if (p == -1)
        return {};
    const int q = p + text_len(start);
    const int e = find_text(text, end, q, ignore_case);
    if (e == -1)
        return {};
    // An empty end marker is "found" at position 1, before q: the count is then not positive.
    return mid_text(text, q, e - q);
}

Text header_value(std::string_view line) {
    const int a = find_text(line, ":", std::nullopt, false);
    if (a == -1)
        return {};
    return trim_spaces(right_text(line, text_len(line) - a));
}

Text url_host(std::string_view address, std::optional<bool> last_two_labels,
              std::optional<bool> keep_port) {
    Text text = to_lower(address);
    if (right_text(text, 1) != "/")
        text += "/";

    std::string_view scheme = "https://";
    if (left_text(text, 8) != scheme) {
        scheme = "http://";
        if (find_text(text, scheme) == -1)
            text = concat_text(scheme, text);
    }

    Text host = text_between(text, scheme, "/");
    if (last_two_labels.value_or(false)) {
        const TextList labels = split_text(host, ".");
        const int n = list_len(labels);
        if (n >= 2)
            host = concat_text(labels[n - 2], std::string_view("."), labels[n - 1]);
    }

    const int colon = find_text(host, ":");
    if (keep_port.value_or(false) || colon == -1)
        return host;
    return left_text(host, colon - 1);
}

std::int32_t url_port(std::string_view address) {
    const Text host = url_host(address, std::nullopt, true);
    const int colon = find_text_last(host, ":");
    if (colon != -1)
        return text_to_int(right_text(host, text_len(host) - colon));
    return left_text(to_lower(address), 5) == "https" ? 443 : 80;
}

Text url_path(std::string_view address) {
    const Text host = url_host(address);
    const int at = find_text(address, host, std::nullopt, true);
    const int slash = find_text(address, "/", at, true);
    if (slash == -1)
        return "/";
    return right_text(address, text_len(address) - slash + 1);
}

} // namespace tavelin
