#pragma once
// Rewrites a JavaScript regular expression (the dialect without the u flag, with the web
// compatibility rules browsers follow) into PCRE2 syntax whose matches are the same.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavelin::regex_detail {

/// A JavaScript pattern rewritten for PCRE2 (compiled with PCRE2_UTF and
/// PCRE2_MATCH_UNSET_BACKREF): capturing groups keep their JavaScript numbers.
struct PcrePattern {
    std::u16string text;                               ///< PCRE2 syntax
    int group_count = 0;                               ///< capturing groups
    std::vector<std::pair<std::u16string, int>> names; ///< group name and number, in order
};

/// The PCRE2 form of a JavaScript pattern; empty when JavaScript would reject the pattern.
/// `multiline` decides what ^ and $ mean; `ignore_case` says the PCRE2 pattern will be compiled
/// caseless.
[[nodiscard]] std::optional<PcrePattern> pcre_from_js(std::u16string_view js, bool ignore_case,
                                                      bool multiline);

} // namespace tavelin::regex_detail
