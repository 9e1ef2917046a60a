// Pattern rewriting from JavaScript to PCRE2.
//
// The pattern is parsed by the JavaScript grammar (no u flag, with the web compatibility
// extensions: legacy octal escapes, identity escapes, literal braces, quantified lookaheads) and
// written out again with every literal escaped, so that no PCRE2-only construct can slip through
// and every construct whose meaning differs is spelled out:
//   .        any unit but CR, LF, U+2028 and U+2029 (PCRE2's newline conventions know no such set)
//   ^ $      start and end of input, or next to one of those four line terminators in multi-line
//            mode; PCRE2's own ^ and $ would treat CRLF as one break and $ would match before a
//            final newline
//   \s \S    JavaScript's white space, which includes U+3000 and U+FEFF
//   [^] []   anything, nothing
// Lone surrogate units can never occur in a subject converted from code page 936, so escapes that
// name them become "never matches" outside classes and are dropped inside them.
//
// Repetition needs more than syntax. JavaScript forgets the captures inside a repeated group at
// the start of each pass and refuses a pass beyond the lower bound that matches nothing; PCRE2
// does neither. Repeated groups therefore get empty marker groups at the start and end of each
// pass; the matcher drops captures older than the last pass afterwards (PcrePattern::loops), and
// callouts refuse empty passes and make back references to forgotten captures match nothing
// (PcrePattern::callouts). Markers shift PCRE2's group numbers, so they are settled at the end.

#include "regex/js_syntax.h"

#include <algorithm>
#include <cstdint>

namespace tavelin::regex_detail {
namespace {

using Range = std::pair<char32_t, char32_t>;

constexpr char32_t kMaxCode = 0x10FFFF;
constexpr std::uint32_t kMaxRepeat = 65535; // PCRE2's largest repeat count
constexpr std::size_t kMaxCallouts = 255;   // numbered callouts PCRE2 offers

// JavaScript's WhiteSpace and LineTerminator characters.
const std::vector<Range>& white_space() {
    static const std::vector<Range> ranges = {
        {0x09, 0x0D},     {0x20, 0x20},     {0xA0, 0xA0},     {0x1680, 0x1680}, {0x2000, 0x200A},
        {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}, {0xFEFF, 0xFEFF},
    };
    return ranges;
}

std::vector<Range> complement(const std::vector<Range>& sorted) {
    std::vector<Range> out;
    char32_t next = 0;
    for (const Range& r : sorted) {
        if (r.first > next)
            out.emplace_back(next, r.first - 1);
        next = r.second + 1;
    }
    if (next <= kMaxCode)
        out.emplace_back(next, kMaxCode);
    return out;
}

bool is_surrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Characters that PCRE2's case folding joins to others but JavaScript's does not: JavaScript
// compares upper-case forms and never lets a non-ASCII character match an ASCII one, so the
// Kelvin sign stays apart from k, long s from s, the Ohm sign from omega.
constexpr char32_t kFoldsApart[] = {0x017F, 0x03F4, 0x1E9E, 0x2126, 0x212A, 0x212B};

bool folds_apart(char32_t c) {
    return std::find(std::begin(kFoldsApart), std::end(kFoldsApart), c) != std::end(kFoldsApart);
}
bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool is_octal(char16_t c) {
    return c >= u'0' && c <= u'7';
}
bool is_ascii_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool is_alnum(char32_t c) {
    return c < 0x80 && (is_digit(char16_t(c)) || is_ascii_letter(char16_t(c)));
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

void append_ascii(std::u16string& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

void append_code(std::u16string& out, char32_t c) {
    static const char digits[] = "0123456789abcdef";
    char buffer[16];
    int n = 0;
    do {
        buffer[n++] = digits[c & 0xF];
        c >>= 4;
    } while (c != 0);
    append_ascii(out, "\\x{");
    while (n > 0)
        out.push_back(char16_t(buffer[--n]));
    out.push_back(u'}');
}

// Marks in the output until group numbers are known; the output is otherwise plain ASCII. Each is
// followed by one unit: the JavaScript group number, or the marker's index.
constexpr char16_t kTagGroup = 0xE000;     // after '(': opens JavaScript group n
constexpr char16_t kTagMarker = 0xE001;    // after '(': opens a pass marker
constexpr char16_t kTagReference = 0xE002; // a back reference to JavaScript group n

// A class atom: one character, or one of the escapes \d \D \s \S \w \W.
struct ClassAtom {
    char32_t code = 0;
    char16_t escape = 0;
};

class Translator {
public:
    Translator(std::u16string_view src, bool ignore_case, bool multiline)
        : src_(src), ignore_case_(ignore_case), multiline_(multiline) {}

    std::optional<PcrePattern> run() {
        if (!scan_groups() || result_.group_count >= kTagGroup)
            return std::nullopt;
        if (!disjunction() || pos_ != src_.size())
            return std::nullopt;
        resolve_numbers();
        return std::move(result_);
    }

private:
    // The number of capturing groups and their names, known before parsing because a \N escape
    // is a back reference only when the pattern has at least N groups, wherever they are.
    bool scan_groups() {
        bool in_class = false;
        for (std::size_t i = 0; i < src_.size(); ++i) {
            const char16_t c = src_[i];
            if (c == u'\\') {
                ++i;
            } else if (in_class) {
                in_class = c != u']';
            } else if (c == u'[') {
                in_class = true;
            } else if (c == u'(') {
                if (i + 1 >= src_.size() || src_[i + 1] != u'?') {
                    ++result_.group_count;
                } else if (i + 2 < src_.size() && src_[i + 2] == u'<' && i + 3 < src_.size() &&
                           src_[i + 3] != u'=' && src_[i + 3] != u'!') {
                    ++result_.group_count;
                    std::size_t p = i + 3;
                    std::u16string name;
                    if (!group_name(p, name))
                        return false;
                    for (const auto& known : result_.names)
                        if (known.first == name)
                            return false;
                    result_.names.emplace_back(std::move(name), result_.group_count);
                }
            }
        }
        return true;
    }

    // Reads "name>" at p; JavaScript allows identifier characters, '$' and '_'.
    bool group_name(std::size_t& p, std::u16string& name) const {
        for (; p < src_.size() && src_[p] != u'>'; ++p) {
            const char16_t c = src_[p];
            const bool ok = is_ascii_letter(c) || c == u'$' || c == u'_' ||
                            (c >= 0x80 && !is_surrogate(c)) || (!name.empty() && is_digit(c));
            if (!ok)
                return false;
            name.push_back(c);
        }
        if (p >= src_.size() || name.empty())
            return false;
        ++p;
        return true;
    }

    bool at_end() const { return pos_ >= src_.size(); }
    char16_t peek(std::size_t ahead = 0) const {
        return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : char16_t(0);
    }
    bool has(std::size_t ahead) const { return pos_ + ahead < src_.size(); }
    bool looking_at(std::u16string_view s) const { return src_.substr(pos_, s.size()) == s; }

    // Each of these leaves nullable_ saying whether what it read can match the empty text.
    bool disjunction() {
        if (!alternative())
            return false;
        bool any = nullable_;
        while (!at_end() && peek() == u'|') {
            ++pos_;
            out_.push_back(u'|');
            if (!alternative())
                return false;
            any = any || nullable_;
        }
        nullable_ = any;
        return true;
    }

    bool alternative() {
        bool all = true;
        while (!at_end() && peek() != u'|' && peek() != u')') {
            if (!term())
                return false;
            all = all && nullable_;
        }
        nullable_ = all;
        return true;
    }

    // Reads a quantifier at pos_ without consuming it. min/max are saturated at kMaxRepeat + 1;
    // max of UINT32_MAX means unbounded.
    struct Quantifier {
        std::uint32_t min = 0;
        std::uint32_t max = 0;
        bool lazy = false;
        std::size_t length = 0;
    };

    std::optional<Quantifier> quantifier_at(std::size_t p) const {
        if (p >= src_.size())
            return std::nullopt;
        Quantifier q;
        const char16_t c = src_[p];
        if (c == u'*') {
            q = {0, UINT32_MAX, false, 1};
        } else if (c == u'+') {
            q = {1, UINT32_MAX, false, 1};
        } else if (c == u'?') {
            q = {0, 1, false, 1};
        } else if (c == u'{') {
            std::size_t i = p + 1;
            auto number = [&](std::uint32_t& value) {
                const std::size_t first = i;
                value = 0;
                for (; i < src_.size() && is_digit(src_[i]); ++i)
                    value = std::min<std::uint32_t>(value * 10 + (src_[i] - u'0'), kMaxRepeat + 1);
                return i > first;
            };
            if (!number(q.min))
                return std::nullopt;
            q.max = q.min;
            if (i < src_.size() && src_[i] == u',') {
                ++i;
                if (!number(q.max))
                    q.max = UINT32_MAX;
            }
            if (i >= src_.size() || src_[i] != u'}')
                return std::nullopt;
            q.length = i + 1 - p;
        } else {
            return std::nullopt;
        }
        if (p + q.length < src_.size() && src_[p + q.length] == u'?') {
            q.lazy = true;
            ++q.length;
        }
        return q;
    }

    void append_quantifier(const Quantifier& q) {
        // Counts beyond PCRE2's limit only occur as upper bounds in practice; treat them as none.
        const std::uint32_t max = q.max > kMaxRepeat ? UINT32_MAX : q.max;
        if (q.min == 0 && max == UINT32_MAX) {
            out_.push_back(u'*');
        } else if (q.min == 1 && max == UINT32_MAX) {
            out_.push_back(u'+');
        } else if (q.min == 0 && max == 1) {
            out_.push_back(u'?');
        } else {
            std::string s = "{" + std::to_string(q.min);
            if (max != q.min)
                s += "," + (max == UINT32_MAX ? std::string() : std::to_string(max));
            s += "}";
            append_ascii(out_, s);
        }
        if (q.lazy)
            out_.push_back(u'?');
    }

    // Reads and writes the quantifier after an atom, if any. Returns false on a malformed one.
    bool quantify() {
        auto q = quantifier_at(pos_);
        if (!q)
            return true;
        if (q->min > q->max || q->min > kMaxRepeat)
            return false;
        pos_ += q->length;
        append_quantifier(*q);
        if (q->min == 0)
            nullable_ = true;
        return true;
    }

    // An assertion that JavaScript does not allow to be quantified.
    bool plain_assertion(std::string_view pcre) {
        append_ascii(out_, pcre);
        nullable_ = true;
        return !quantifier_at(pos_);
    }

    bool term() {
        const char16_t c = peek();
        const std::size_t atom_start = out_.size();
        nullable_ = false;
        switch (c) {
        case u'^':
            ++pos_;
            return plain_assertion(multiline_ ? "(?<![^\\x{a}\\x{d}\\x{2028}\\x{2029}])" : "\\A");
        case u'$':
            ++pos_;
            return plain_assertion(multiline_ ? "(?![^\\x{a}\\x{d}\\x{2028}\\x{2029}])" : "\\z");
        case u'*':
        case u'+':
        case u'?':
            return false;
        case u'{':
            if (quantifier_at(pos_))
                return false;
            ++pos_;
            literal(u'{');
            return quantify();
        case u'.':
            ++pos_;
            append_ascii(out_, "[^\\x{a}\\x{d}\\x{2028}\\x{2029}]");
            return quantify();
        case u'[':
            ++pos_;
            return char_class() && quantify();
        case u'(':
            return group(atom_start);
        case u'\\':
            if (peek(1) == u'b' || peek(1) == u'B') {
                const bool word = peek(1) == u'b';
                pos_ += 2;
                return plain_assertion(word ? "\\b" : "\\B");
            }
            ++pos_;
            return atom_escape() && quantify();
        default:
            ++pos_;
            literal(c);
            return quantify();
        }
    }

    bool group(std::size_t atom_start) {
        const int captures_before = captures_seen_;
        const std::size_t loops_before = loops_.size();
        ++pos_; // '('
        enum class Kind { capture, plain, lookahead, lookbehind } kind = Kind::capture;
        if (peek() == u'?') {
            if (looking_at(u"?:")) {
                kind = Kind::plain;
                pos_ += 2;
                append_ascii(out_, "(?:");
            } else if (looking_at(u"?=") || looking_at(u"?!")) {
                kind = Kind::lookahead;
                append_ascii(out_, peek(1) == u'=' ? "(?=" : "(?!");
                pos_ += 2;
            } else if (looking_at(u"?<=") || looking_at(u"?<!")) {
                kind = Kind::lookbehind;
                append_ascii(out_, peek(2) == u'=' ? "(?<=" : "(?<!");
                pos_ += 3;
            } else if (looking_at(u"?<")) {
                pos_ += 2;
                std::u16string name;
                if (!group_name(pos_, name))
                    return false;
                open_capture();
            } else {
                return false;
            }
        } else {
            open_capture();
        }
        if (!disjunction() || peek() != u')' || at_end())
            return false;
        const bool body_nullable = nullable_;
        ++pos_;
        out_.push_back(u')');
        if (kind == Kind::lookbehind || kind == Kind::lookahead)
            nullable_ = true;
        if (kind == Kind::lookbehind)
            return !quantifier_at(pos_);
        if (kind == Kind::lookahead) {
            // JavaScript rejects a repetition that matches nothing, so an optional lookahead is
            // never entered and a required one is tested once.
            auto q = quantifier_at(pos_);
            if (!q)
                return true;
            if (q->min > q->max)
                return false;
            pos_ += q->length;
            if (q->min == 0) {
                out_.insert(atom_start, u"(?:");
                append_ascii(out_, "){0}");
            }
            return true;
        }
        const int inner = captures_seen_ - captures_before - (kind == Kind::capture ? 1 : 0);
        const auto q = quantifier_at(pos_);
        const bool repeated = q && q->max > 1 && q->min <= q->max;
        // JavaScript forgets what the groups inside a repeated group captured at the start of
        // each pass; PCRE2 keeps it. Empty groups at the start and end of each pass mark where
        // the last pass lay, so that captures from before it can be dropped afterwards.
        const bool track = repeated && (inner > 0 || kind == Kind::capture);
        // JavaScript refuses a pass beyond the lower bound that matches nothing and looks for a
        // longer one; PCRE2 takes it and ends the repetition. A callout at the end of each pass
        // refuses it here too (for lower bounds of 0 and 1; a "+" lets its first pass be empty,
        // known from a mark where the repetition began). Optional groups keep PCRE2's way.
        const bool check =
            repeated && body_nullable && q->min <= 1 && result_.callouts.size() < kMaxCallouts;
        if (track || check) {
            const int start = new_marker();
            std::u16string before;
            std::u16string after;
            if (check) {
                const int entry = q->min == 1 ? new_marker() : -1;
                int first_try = -1;
                if (entry >= 0 && !q->lazy && q->max > kMaxRepeat) {
                    // JavaScript follows an empty first pass with more passes, which PCRE2 will
                    // not; without an upper bound those come to the same as a non-empty first
                    // pass. So a greedy "+" first tries with every pass non-empty (first_try
                    // set), and only when that fails once more with an empty first pass allowed.
                    first_try = new_marker();
                    before += u"(?:" + marker_text(first_try) + u"|" + marker_text(entry) + u")";
                } else if (entry >= 0) {
                    before += marker_text(entry);
                }
                checks_.push_back({start, entry, first_try, result_.callouts.size()});
                result_.callouts.emplace_back();
                append_ascii(after, "(?C" + std::to_string(result_.callouts.size()) + ")");
            }
            before += u"(?:" + marker_text(start);
            if (track) {
                Loop loop;
                loop.first_group = captures_before + 1;
                loop.last_group = captures_seen_;
                for (std::size_t inside = loops_before; inside < loops_.size(); ++inside)
                    loop.inner_loops.push_back(inside);
                loop.start_marker = start;
                loop.end_marker = new_marker();
                after += marker_text(loop.end_marker);
                loops_.push_back(std::move(loop));
            }
            after += u')';
            out_.insert(atom_start, before);
            out_ += after;
        }
        nullable_ = body_nullable;
        return quantify();
    }

    int new_marker() { return markers_++; }

    static std::u16string marker_text(int marker) {
        std::u16string text = u"(";
        text += kTagMarker;
        text += char16_t(marker);
        text += u')';
        return text;
    }

    void open_capture() {
        ++captures_seen_;
        out_ += u'(';
        out_ += kTagGroup;
        out_ += char16_t(captures_seen_);
    }

    // A back reference to JavaScript group n. Grouped, because PCRE2 fails a repeated reference to
    // an unset group even where a single one matches empty. When the group lies in repeated
    // groups, what it captured in an earlier pass of one of them counts as nothing, as in
    // JavaScript: callouts choose between the reference and the empty text by the pass marks.
    void write_reference(std::u16string& text, int n, const std::vector<int>& group_number,
                         const std::vector<int>& marker_number) {
        const std::string number = std::to_string(group_number[std::size_t(n)]);
        std::vector<int> passes;
        for (const Loop& loop : loops_) {
            if (n >= loop.first_group && n <= loop.last_group)
                passes.push_back(marker_number[std::size_t(loop.start_marker)]);
        }
        if (passes.empty() || result_.callouts.size() + 2 > kMaxCallouts) {
            append_ascii(text, "(?:\\g{" + number + "})");
            return;
        }
        using Kind = PcrePattern::Callout::Kind;
        for (Kind kind : {Kind::reference_is_fresh, Kind::reference_is_stale}) {
            PcrePattern::Callout callout;
            callout.kind = kind;
            callout.group = group_number[std::size_t(n)];
            callout.pass_markers = passes;
            result_.callouts.push_back(std::move(callout));
        }
        const std::size_t fresh = result_.callouts.size() - 1;
        append_ascii(text, "(?:(?C" + std::to_string(fresh) + ")\\g{" + number + "}|(?C" +
                               std::to_string(fresh + 1) + "))");
    }

    // Gives every capturing group of the output its PCRE2 number, in the order they open, and
    // writes back references with those numbers.
    void resolve_numbers() {
        std::vector<int> group_number(std::size_t(result_.group_count) + 1, 0);
        std::vector<int> marker_number(std::size_t(markers_), 0);
        int number = 0;
        for (std::size_t i = 0; i + 2 < out_.size(); ++i) {
            if (out_[i] != u'(')
                continue;
            if (out_[i + 1] == kTagGroup) {
                group_number[out_[i + 2]] = ++number;
                i += 2;
            } else if (out_[i + 1] == kTagMarker) {
                marker_number[out_[i + 2]] = ++number;
                i += 2;
            }
        }
        std::u16string text;
        text.reserve(out_.size());
        for (std::size_t i = 0; i < out_.size(); ++i) {
            const char16_t c = out_[i];
            if (c == kTagGroup || c == kTagMarker) {
                ++i;
            } else if (c == kTagReference) {
                write_reference(text, out_[++i], group_number, marker_number);
            } else {
                text += c;
            }
        }
        result_.text = std::move(text);
        for (int k = 1; k <= result_.group_count; ++k)
            result_.group_numbers.push_back(group_number[std::size_t(k)]);
        // Outer loops first: a loop is registered when it closes, after the loops inside it.
        std::vector<std::size_t> order(loops_.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return marker_number[std::size_t(loops_[a].start_marker)] <
                   marker_number[std::size_t(loops_[b].start_marker)];
        });
        for (std::size_t id : order) {
            const Loop& loop = loops_[id];
            PcrePattern::Loop out;
            out.start_marker = marker_number[std::size_t(loop.start_marker)];
            out.end_marker = marker_number[std::size_t(loop.end_marker)];
            for (int k = loop.first_group; k <= loop.last_group; ++k)
                out.inside.push_back(group_number[std::size_t(k)]);
            for (std::size_t inner : loop.inner_loops) {
                out.inside.push_back(marker_number[std::size_t(loops_[inner].start_marker)]);
                out.inside.push_back(marker_number[std::size_t(loops_[inner].end_marker)]);
            }
            result_.loops.push_back(std::move(out));
        }
        for (const Check& check : checks_) {
            PcrePattern::Callout& callout = result_.callouts[check.callout];
            callout.kind = PcrePattern::Callout::Kind::refuse_empty_pass;
            callout.marker = marker_number[std::size_t(check.pass_marker)];
            callout.entry_marker =
                check.entry_marker < 0 ? 0 : marker_number[std::size_t(check.entry_marker)];
            callout.first_try_marker =
                check.first_try_marker < 0 ? 0 : marker_number[std::size_t(check.first_try_marker)];
        }
    }

    void literal(char32_t c) {
        if (is_surrogate(c)) {
            append_ascii(out_, "(?!)");
        } else if (ignore_case_ && folds_apart(c)) {
            append_ascii(out_, "(?-i:");
            append_code(out_, c);
            out_.push_back(u')');
        } else if (is_alnum(c)) {
            out_.push_back(char16_t(c));
        } else {
            append_code(out_, c);
        }
    }

    // Legacy octal escape starting at pos_ (an octal digit): up to three digits, at most 0377.
    char32_t legacy_octal() {
        const char16_t first = peek();
        char32_t value = first - u'0';
        ++pos_;
        if (!at_end() && is_octal(peek())) {
            value = value * 8 + (peek() - u'0');
            ++pos_;
            if (first <= u'3' && !at_end() && is_octal(peek())) {
                value = value * 8 + (peek() - u'0');
                ++pos_;
            }
        }
        return value;
    }

    // Escapes that mean one character, shared by atoms and classes; pos_ is after the backslash.
    // Returns the character, having consumed its escape.
    char32_t character_escape() {
        const char16_t c = peek();
        ++pos_;
        switch (c) {
        case u'f':
            return 0x0C;
        case u'n':
            return 0x0A;
        case u'r':
            return 0x0D;
        case u't':
            return 0x09;
        case u'v':
            return 0x0B;
        case u'x':
            if (hex_value(peek()) >= 0 && hex_value(peek(1)) >= 0 && has(1)) {
                const char32_t v = char32_t(hex_value(peek()) * 16 + hex_value(peek(1)));
                pos_ += 2;
                return v;
            }
            return u'x';
        case u'u':
            if (has(3) && hex_value(peek()) >= 0 && hex_value(peek(1)) >= 0 &&
                hex_value(peek(2)) >= 0 && hex_value(peek(3)) >= 0) {
                char32_t v = 0;
                for (int i = 0; i < 4; ++i)
                    v = v * 16 + char32_t(hex_value(peek(i)));
                pos_ += 4;
                return v;
            }
            return u'u';
        default:
            return c; // identity escape
        }
    }

    bool atom_escape() {
        if (at_end())
            return false;
        const char16_t c = peek();
        switch (c) {
        case u'd':
        case u'D':
        case u'w':
        case u'W':
            ++pos_;
            out_.push_back(u'\\');
            out_.push_back(c);
            return true;
        case u's':
        case u'S':
            ++pos_;
            append_class(c == u'S', white_space(), {});
            return true;
        case u'c':
            if (is_ascii_letter(peek(1))) {
                literal(peek(1) % 32);
                pos_ += 2;
            } else {
                literal(u'\\'); // the 'c' is read again as an atom of its own
            }
            return true;
        case u'k':
            if (result_.names.empty()) {
                ++pos_;
                literal(u'k');
                return true;
            }
            return named_reference();
        default:
            break;
        }
        if (c >= u'1' && c <= u'9') {
            std::size_t p = pos_;
            std::uint32_t n = 0;
            for (; p < src_.size() && is_digit(src_[p]); ++p)
                n = std::min<std::uint32_t>(n * 10 + (src_[p] - u'0'), 1000000);
            if (n <= std::uint32_t(result_.group_count)) {
                pos_ = p;
                back_reference(int(n));
                return true;
            }
            if (c >= u'8') {
                ++pos_;
                literal(c);
                return true;
            }
        }
        if (is_octal(c)) {
            literal(legacy_octal());
            return true;
        }
        literal(character_escape());
        return true;
    }

    // Written out by resolve_numbers, once the groups and repetitions around it are known.
    void back_reference(int n) {
        nullable_ = true;
        out_ += kTagReference;
        out_ += char16_t(n);
    }

    bool named_reference() {
        ++pos_; // 'k'
        if (peek() != u'<')
            return false;
        ++pos_;
        std::u16string name;
        if (!group_name(pos_, name))
            return false;
        for (const auto& known : result_.names) {
            if (known.first == name) {
                back_reference(known.second);
                return true;
            }
        }
        return false;
    }

    std::optional<ClassAtom> class_atom() {
        if (at_end())
            return std::nullopt;
        const char16_t c = peek();
        if (c != u'\\') {
            ++pos_;
            return ClassAtom{c, 0};
        }
        ++pos_;
        if (at_end())
            return std::nullopt;
        const char16_t e = peek();
        switch (e) {
        case u'd':
        case u'D':
        case u's':
        case u'S':
        case u'w':
        case u'W':
            ++pos_;
            return ClassAtom{0, e};
        case u'b':
            ++pos_;
            return ClassAtom{0x08, 0};
        case u'-':
            ++pos_;
            return ClassAtom{u'-', 0};
        case u'c': {
            const char16_t n = peek(1);
            if (is_ascii_letter(n) || is_digit(n) || n == u'_') {
                pos_ += 2;
                return ClassAtom{char32_t(n % 32), 0};
            }
            return ClassAtom{u'\\', 0}; // the 'c' is read again as a class atom
        }
        case u'k':
            if (!result_.names.empty())
                return std::nullopt;
            break;
        default:
            break;
        }
        if (is_octal(e))
            return ClassAtom{legacy_octal(), 0};
        return ClassAtom{character_escape(), 0};
    }

    bool char_class() {
        bool negated = false;
        if (peek() == u'^') {
            negated = true;
            ++pos_;
        }
        std::vector<Range> ranges;
        std::u16string escapes;
        auto add = [&](const ClassAtom& a) {
            if (a.escape == u's') {
                ranges.insert(ranges.end(), white_space().begin(), white_space().end());
            } else if (a.escape == u'S') {
                const auto others = complement(white_space());
                ranges.insert(ranges.end(), others.begin(), others.end());
            } else if (a.escape != 0) {
                escapes.push_back(u'\\');
                escapes.push_back(a.escape);
            } else {
                ranges.emplace_back(a.code, a.code);
            }
        };
        for (;;) {
            if (at_end())
                return false;
            if (peek() == u']') {
                ++pos_;
                break;
            }
            const auto a = class_atom();
            if (!a)
                return false;
            if (peek() == u'-' && has(1) && peek(1) != u']') {
                ++pos_;
                const auto b = class_atom();
                if (!b)
                    return false;
                if (a->escape != 0 || b->escape != 0) {
                    add(*a);
                    add(ClassAtom{u'-', 0});
                    add(*b);
                } else if (a->code > b->code) {
                    return false;
                } else {
                    ranges.emplace_back(a->code, b->code);
                }
            } else {
                add(*a);
            }
        }
        append_class(negated, ranges, escapes);
        return true;
    }

    // Removes the characters from first to last from the ranges; returns whether any was there.
    static bool cut(std::vector<Range>& ranges, char32_t first, char32_t last) {
        std::vector<Range> kept;
        bool cut_any = false;
        for (const Range& r : ranges) {
            if (r.second < first || r.first > last) {
                kept.push_back(r);
                continue;
            }
            cut_any = true;
            if (r.first < first)
                kept.emplace_back(r.first, first - 1);
            if (r.second > last)
                kept.emplace_back(last + 1, r.second);
        }
        ranges = std::move(kept);
        return cut_any;
    }

    void append_ranges(const std::vector<Range>& ranges) {
        for (const Range& r : ranges) {
            append_code(out_, r.first);
            if (r.second != r.first) {
                out_.push_back(u'-');
                append_code(out_, r.second);
            }
        }
    }

    void append_class(bool negated, std::vector<Range> ranges, std::u16string_view escapes) {
        cut(ranges, 0xD800, 0xDFFF);
        // Characters that fold differently are matched exactly, beside the class; in a negated
        // class they are left out, so that their PCRE2 partners stay matchable.
        std::vector<Range> apart;
        if (ignore_case_) {
            for (char32_t c : kFoldsApart) {
                if (cut(ranges, c, c) && !negated)
                    apart.emplace_back(c, c);
            }
        }
        const bool empty = ranges.empty() && escapes.empty();
        if (empty && apart.empty()) {
            append_ascii(out_, negated ? "[\\x{0}-\\x{10ffff}]" : "(?!)");
            return;
        }
        if (!apart.empty())
            append_ascii(out_, "(?:");
        if (!empty) {
            append_ascii(out_, negated ? "[^" : "[");
            out_.append(escapes);
            append_ranges(ranges);
            out_.push_back(u']');
        }
        if (!apart.empty()) {
            append_ascii(out_, empty ? "(?-i:[" : "|(?-i:[");
            append_ranges(apart);
            append_ascii(out_, "]))");
        }
    }

    std::u16string_view src_;
    bool ignore_case_;
    bool multiline_;
    int captures_seen_ = 0; // capturing groups opened so far

    // A repeated group with capturing groups inside it.
    struct Loop {
        int first_group = 0; // the JavaScript groups inside it
        int last_group = -1;
        std::vector<std::size_t> inner_loops;
        int start_marker = 0;
        int end_marker = 0;
    };
    std::vector<Loop> loops_;
    // A repeated group whose passes may not be empty; markers by index.
    struct Check {
        int pass_marker = 0;
        int entry_marker = -1;
        int first_try_marker = -1;
        std::size_t callout = 0; // index in result_.callouts
    };
    std::vector<Check> checks_;
    int markers_ = 0;
    bool nullable_ = false;
    std::size_t pos_ = 0;
    std::u16string out_;
    PcrePattern result_;
};

} // namespace

std::optional<PcrePattern> pcre_from_js(std::u16string_view js, bool ignore_case, bool multiline) {
    return Translator(js, ignore_case, multiline).run();
}

} // namespace tavelin::regex_detail
