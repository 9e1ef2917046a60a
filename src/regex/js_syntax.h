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
/// PCRE2_MATCH_UNSET_BACKREF). Besides the JavaScript groups it has empty marker groups, so
/// group numbers differ between the two.
struct PcrePattern {
    std::u16string text;                               ///< PCRE2 syntax
    int group_count = 0;                               ///< JavaScript capturing groups
    std::vector<std::pair<std::u16string, int>> names; ///< name and JavaScript number, in order
    std::vector<int> group_numbers;                    ///< PCRE2 number of JavaScript group k + 1

    /// A repeated group with capturing groups inside: after a match, a group inside it that
    /// started before the last pass (start_marker) belongs to an earlier pass, which JavaScript
    /// forgets. end_marker is where the last pass ended.
    struct Loop {
        int start_marker = 0;
        int end_marker = 0;
        std::vector<int> inside; ///< PCRE2 numbers of the groups and markers inside
    };
    std::vector<Loop> loops; ///< outer loops before the loops inside them

    /// What callout number i + 1 (callouts[i]) decides.
    struct Callout {
        enum class Kind {
            /// At the end of a pass of a repeated group: refused when the pass started here
            /// (marker), unless entry_marker is given and lies here too (the first pass of a "+")
            /// and first_try_marker, if given, does not (the first try of a greedy "+" refuses
            /// every empty pass).
            refuse_empty_pass,
            /// Before a back reference to group: refused when group was captured before the
            /// start of the current or last pass of one of the repetitions around it.
            reference_is_fresh,
            /// Before the empty alternative of that reference: refused unless it was.
            reference_is_stale,
        };
        Kind kind = Kind::refuse_empty_pass;
        int marker = 0;
        int entry_marker = 0;     ///< 0 for none
        int first_try_marker = 0; ///< 0 for none
        int group = 0;
        std::vector<int> pass_markers;
    };
    std::vector<Callout> callouts;
};

/// The PCRE2 form of a JavaScript pattern; empty when JavaScript would reject the pattern.
/// `multiline` decides what ^ and $ mean; `ignore_case` says the PCRE2 pattern will be compiled
/// caseless.
[[nodiscard]] std::optional<PcrePattern> pcre_from_js(std::u16string_view js, bool ignore_case,
                                                      bool multiline);

} // namespace tavelin::regex_detail
