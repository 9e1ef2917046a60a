#pragma once
// The regular-expression engine: the members of a VBScript-style RegExp object over PCRE2.
//
// Texts are UTF-16 and positions count UTF-16 units from 0. The pattern dialect is JavaScript's
// without the u flag: "." matches anything but CR, LF, U+2028 and U+2029; ^ and $ follow
// Multiline; \s is JavaScript's white space; IgnoreCase folds letters beyond ASCII; Replace
// understands $1..$99, $<name>, $&, $`, $' and $$; global matching steps past an empty match
// by one character; the groups inside a repeated group report the last pass only; a pass of a
// repetition beyond its lower bound may not match nothing. Known differences from JavaScript: an
// optional group takes a pass that matches nothing (in "(.*?)?" the group takes its empty pass,
// where JavaScript would lengthen it or skip it); a lazy or bounded repetition ends after a
// first pass that matches nothing, and one with a lower bound of 2 or more may take an empty pass
// beyond it; lookbehind must have a fixed length in each alternative.
//
// Failures are values: a pattern that the engine rejects, or one that takes more than the match
// limit on a subject, makes Execute give null and Replace give nothing. Nothing throws.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

namespace regex_detail {
struct Program;
/// What one Execute found: the subject and, per match, start and end of the match and of each
/// group (kUnset for a group that took no part).
struct MatchData {
    static constexpr std::size_t kUnset = static_cast<std::size_t>(-1);
    std::u16string subject;
    std::size_t groups = 0;           ///< capturing groups of the pattern
    std::vector<std::size_t> offsets; ///< 2 * (groups + 1) per match
};
} // namespace regex_detail

/// The submatches of one match, like a SubMatches collection.
class SubMatchCollection {
public:
    /// Number of capturing groups in the pattern.
    [[nodiscard]] int Count() const;
    /// The text of group index + 1; empty when index is out of range or the group took no part.
    [[nodiscard]] std::optional<std::u16string> Item(int index) const;
    /// UTF-16 position of group index + 1 in the subject; -1 when out of range or no part.
    [[nodiscard]] int ItemIndex(int index) const;

private:
    friend class Match;
    SubMatchCollection(std::shared_ptr<const regex_detail::MatchData> data, std::size_t match)
        : data_(std::move(data)), match_(match) {}
    std::shared_ptr<const regex_detail::MatchData> data_;
    std::size_t match_ = 0;
};

/// One match, like a Match object.
class Match {
public:
    /// The matched text.
    [[nodiscard]] std::u16string Value() const;
    /// UTF-16 position of the match in the subject, from 0.
    [[nodiscard]] int FirstIndex() const;
    /// Length of the match in UTF-16 units.
    [[nodiscard]] int Length() const;
    /// The match's submatches.
    [[nodiscard]] SubMatchCollection SubMatches() const;

private:
    friend class MatchCollection;
    Match(std::shared_ptr<const regex_detail::MatchData> data, std::size_t match)
        : data_(std::move(data)), match_(match) {}
    std::shared_ptr<const regex_detail::MatchData> data_;
    std::size_t match_ = 0;
};

/// The matches of one Execute, left to right, like a MatchCollection.
class MatchCollection {
public:
    explicit MatchCollection(std::shared_ptr<const regex_detail::MatchData> data)
        : data_(std::move(data)) {}
    /// Number of matches.
    [[nodiscard]] int Count() const;
    /// Match index + 1; empty when index is outside 0 to Count() - 1.
    [[nodiscard]] std::optional<Match> Item(int index) const;
    /// The subject that was searched.
    [[nodiscard]] std::u16string_view Subject() const { return data_->subject; }

private:
    std::shared_ptr<const regex_detail::MatchData> data_;
};

/// The engine object. Its properties are plain fields, read at each Execute and Replace.
class RegExp {
public:
    RegExp();
    ~RegExp();
    RegExp(const RegExp&);
    RegExp& operator=(const RegExp&);

    bool IgnoreCase = false; ///< letter case is ignored (Unicode simple folding)
    bool Multiline = false;  ///< ^ and $ also match next to line terminators
    bool Global = false;     ///< every match rather than the first
    std::u16string Pattern;  ///< JavaScript syntax

    /// The matches in subject (at most one unless Global); null when the pattern is rejected or
    /// the match limit was hit.
    [[nodiscard]] std::shared_ptr<const MatchCollection> Execute(std::u16string subject) const;
    /// subject with the first match (every match when Global) replaced by replacement, whose $
    /// forms are expanded; empty when the pattern is rejected or the match limit was hit.
    [[nodiscard]] std::optional<std::u16string> Replace(std::u16string_view subject,
                                                        std::u16string_view replacement) const;

private:
    std::shared_ptr<const regex_detail::Program> program() const;

    // The compiled pattern, kept while Pattern, IgnoreCase and Multiline stay the same.
    mutable std::shared_ptr<const regex_detail::Program> program_;
};

} // namespace tavelin
