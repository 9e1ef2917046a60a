#pragma once
// RegexObject: one regular expression run over one code page 936 subject, answering by number.
//
// Match and submatch numbers are 1-based. Texts cross to the engine as UTF-16 and come back as
// code page 936. Every failure gives the empty value (empty text, 0, false); nothing throws.
// An object is made, used and destroyed on one thread.

#include "regex/regexp.h"
#include "runtime/text.h"

#include <memory>
#include <optional>
#include <string_view>

namespace tavelin {

class RegexObject {
public:
    /// An object with no engine, no matches and an empty subject.
    RegexObject();
    /// Releases the engine and the matches.
    ~RegexObject();
    /// A new object sharing this one's engine and matches, with its own copy of the subject.
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);
    /// The same as the copy constructor.
    [[nodiscard]] RegexObject copy() const { return RegexObject(*this); }

    /// Runs pattern over subject with a new engine: letter case ignored unless case_sensitive,
    /// multi-line unless multiline is false, global unless global is false, "#引号" in the pattern
    /// turned into '"' when expand_quotes. The subject is kept in any case. True when the engine
    /// gave a match collection (also an empty one); false when it rejected the pattern.
    bool execute(std::string_view pattern, std::string_view subject,
                 std::optional<bool> case_sensitive = std::nullopt,
                 std::optional<bool> multiline = std::nullopt,
                 std::optional<bool> global = std::nullopt,
                 std::optional<bool> expand_quotes = std::nullopt);

    /// The pattern the last execute gave the engine; empty before the first execute.
    [[nodiscard]] Text pattern_text() const;
    /// The subject with the matches replaced ($1..$99, $&, $`, $', $$ expanded); the first match
    /// only unless the last execute was global. Empty when there is no engine or it failed.
    [[nodiscard]] Text
    replace_matches(std::optional<std::string_view> replacement = std::nullopt) const;
    /// Number of matches; 0 when there are none or no collection.
    [[nodiscard]] int match_count() const;
    /// The text of match n (1-based); empty when n is out of range. When position is given it
    /// receives the 0-based byte offset of the match in the subject, or -2 when there is none.
    [[nodiscard]] Text match_text(int n, int* position = nullptr) const;
    /// The text of group k of match n (both 1-based); empty when either is out of range or the
    /// group took no part. When position is given it receives the 0-based byte offset of the
    /// submatch in the subject, or -2 when there is none.
    [[nodiscard]] Text submatch_text(int n, int k, int* position = nullptr) const;
    /// Number of capturing groups reported for match 1; 0 when there is no match.
    [[nodiscard]] int submatch_count() const;

private:
    std::optional<Match> match_at(int n) const;
    int byte_position(int unit_index, int first_index, const Text& found) const;

    std::shared_ptr<RegExp> engine_;
    std::shared_ptr<const MatchCollection> matches_;
    Text subject_;
};

} // namespace tavelin
