// The only file that talks to PCRE2 (16-bit library, JIT where the machine has it; the build
// sets PCRE2_CODE_UNIT_WIDTH to 16).
#include "regex/regexp.h"

#include "regex/js_syntax.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <pcre2.h>

namespace tavelin {
namespace regex_detail {

struct Program {
    std::u16string pattern;
    bool ignore_case = false;
    bool multiline = false;
    pcre2_code* code = nullptr; // null when the pattern was rejected
    int groups = 0;
    std::vector<std::pair<std::u16string, int>> names;
    std::vector<int> group_numbers; // PCRE2 number of each JavaScript group
    std::vector<regex_detail::PcrePattern::Loop> loops;
    std::vector<regex_detail::PcrePattern::Callout> callouts;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() { pcre2_code_free(code); }
};

} // namespace regex_detail

namespace {

using regex_detail::MatchData;
using regex_detail::Program;

// Steps of backtracking that one search may take before it gives up. A real page with the
// question pattern needs a few thousand per match; a nested repetition over a large page would
// otherwise keep the thread busy for hours.
constexpr uint32_t kMatchLimit = 10'000'000;
// The JIT keeps its backtracking state on its own stack; lazy repetition over a long line needs
// more than the 32 KiB that PCRE2 provides by default.
constexpr PCRE2_SIZE kJitStackStart = 64 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 16 * 1024 * 1024;
// PCRE2 rejects deeper nesting by default; JavaScript has no such limit.
constexpr uint32_t kParensNestLimit = 1000;

PCRE2_SPTR16 as_sptr(std::u16string_view s) {
    return reinterpret_cast<PCRE2_SPTR16>(s.data());
}

struct MatchDataFree {
    void operator()(pcre2_match_data* m) const { pcre2_match_data_free(m); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* m) const { pcre2_match_context_free(m); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack* s) const { pcre2_jit_stack_free(s); }
};
struct CompileContextFree {
    void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
};

// One JIT stack per thread, made on first use: matching runs on the calling thread only.
pcre2_jit_stack* thread_jit_stack() {
    thread_local std::unique_ptr<pcre2_jit_stack, JitStackFree> stack(
        pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
    return stack.get();
}

std::shared_ptr<const Program> compile(const std::u16string& pattern, bool ignore_case,
                                       bool multiline) {
    auto program = std::make_shared<Program>();
    program->pattern = pattern;
    program->ignore_case = ignore_case;
    program->multiline = multiline;
    auto translated = regex_detail::pcre_from_js(pattern, ignore_case, multiline);
    if (!translated)
        return program;
    program->groups = translated->group_count;
    program->names = std::move(translated->names);
    program->group_numbers = std::move(translated->group_numbers);
    program->loops = std::move(translated->loops);
    program->callouts = std::move(translated->callouts);

    std::unique_ptr<pcre2_compile_context, CompileContextFree> context(
        pcre2_compile_context_create(nullptr));
    if (!context)
        return program;
    pcre2_set_parens_nest_limit(context.get(), kParensNestLimit);
    // The translated pattern is plain ASCII, so it needs no UTF check of its own.
    uint32_t options = PCRE2_UTF | PCRE2_NO_UTF_CHECK | PCRE2_MATCH_UNSET_BACKREF;
    if (ignore_case)
        options |= PCRE2_CASELESS;
    // PCRE2 10.42 takes the first character of a leading lookahead as the start of the match and
    // then looks for the required last character only after it, missing "(?=A)x?a" in "BA".
    if (translated->text.find(u"(?=") != std::u16string::npos)
        options |= PCRE2_NO_START_OPTIMIZE;
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    program->code = pcre2_compile(as_sptr(translated->text), translated->text.size(), options,
                                  &error, &error_offset, context.get());
    if (program->code) {
        // Without JIT support matching falls back to the interpreter, which gives the same results.
        pcre2_jit_compile(program->code, PCRE2_JIT_COMPLETE);
    }
    return program;
}

// The compiled patterns used lately, shared by every engine in the process: each question fetch
// makes a new engine for the same pattern, and compiling it for the JIT costs more than a search of
// a small page. Compiled code is never changed after compiling, so threads may share it.
std::shared_ptr<const Program> compile_cached(const std::u16string& pattern, bool ignore_case,
                                              bool multiline) {
    constexpr std::size_t kKept = 16;
    struct Cache {
        std::mutex lock;
        std::vector<std::shared_ptr<const Program>> recent; // latest last
    };
    // Never destroyed: fetch threads may still be running when the program leaves.
    static Cache* const cache = new Cache;
    {
        const std::lock_guard<std::mutex> hold(cache->lock);
        auto& recent = cache->recent;
        for (auto it = recent.begin(); it != recent.end(); ++it) {
            const auto& p = **it;
            if (p.pattern == pattern && p.ignore_case == ignore_case && p.multiline == multiline) {
                auto found = *it;
                recent.erase(it);
                recent.push_back(found);
                return found;
            }
        }
    }
    auto program = compile(pattern, ignore_case, multiline);
    const std::lock_guard<std::mutex> hold(cache->lock);
    cache->recent.push_back(program);
    if (cache->recent.size() > kKept)
        cache->recent.erase(cache->recent.begin());
    return program;
}

bool is_lead(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_trail(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Whether any unit is a surrogate, four units at a time: a lane is one when its top five bits
// are 11011, which leaves it zero after the mask and the exclusive or.
bool has_surrogates(std::u16string_view s) {
    constexpr std::uint64_t kTop = 0xF800F800F800F800u;
    constexpr std::uint64_t kSurrogate = 0xD800D800D800D800u;
    constexpr std::uint64_t kOnes = 0x0001000100010001u;
    constexpr std::uint64_t kHigh = 0x8000800080008000u;
    std::size_t i = 0;
    for (std::uint64_t word; i + 4 <= s.size(); i += 4) {
        std::memcpy(&word, s.data() + i, 8);
        const std::uint64_t lanes = (word & kTop) ^ kSurrogate;
        if ((lanes - kOnes) & ~lanes & kHigh)
            return true;
    }
    for (; i < s.size(); ++i) {
        if ((s[i] & 0xF800) == 0xD800)
            return true;
    }
    return false;
}

// The callouts that the translated pattern holds (see PcrePattern::Callout): zero lets matching
// go on, non-zero makes it back up.
int decide(pcre2_callout_block* block, void* data) {
    using Kind = regex_detail::PcrePattern::Callout::Kind;
    const auto& callouts = static_cast<const Program*>(data)->callouts;
    if (block->callout_number == 0 || block->callout_number > callouts.size())
        return 0;
    const auto& callout = callouts[block->callout_number - 1];
    const auto start_of = [&](int number) {
        return static_cast<uint32_t>(number) < block->capture_top
                   ? block->offset_vector[2 * std::size_t(number)]
                   : PCRE2_UNSET;
    };
    if (callout.kind == Kind::refuse_empty_pass) {
        const PCRE2_SIZE pass = start_of(callout.marker);
        if (pass == PCRE2_UNSET || pass != block->current_position)
            return 0;
        if (callout.entry_marker == 0 || start_of(callout.entry_marker) != pass)
            return 1;
        return callout.first_try_marker != 0 && start_of(callout.first_try_marker) == pass ? 1 : 0;
    }
    bool stale = false;
    const PCRE2_SIZE group = start_of(callout.group);
    if (group != PCRE2_UNSET) {
        for (int marker : callout.pass_markers) {
            const PCRE2_SIZE pass = start_of(marker);
            stale = stale || (pass != PCRE2_UNSET && group < pass);
        }
    }
    return (callout.kind == Kind::reference_is_fresh) == stale ? 1 : 0;
}

// Drops what the groups inside a repeated group kept from passes before the last one, as
// JavaScript does. Where PCRE2 ended the repetition with a pass that matched nothing, which
// JavaScript would have refused, the last real pass is unknown and the captures stay.
void forget_earlier_passes(const Program& program, std::vector<std::size_t>& found) {
    const auto unset = [&](int number) {
        found[2 * std::size_t(number)] = found[2 * std::size_t(number) + 1] = MatchData::kUnset;
    };
    for (const auto& loop : program.loops) {
        const std::size_t start = found[2 * std::size_t(loop.start_marker)];
        const std::size_t end = found[2 * std::size_t(loop.end_marker)];
        if (start == MatchData::kUnset) {
            for (int number : loop.inside)
                unset(number);
            continue;
        }
        if (end == start)
            continue;
        for (int number : loop.inside) {
            const std::size_t at = found[2 * std::size_t(number)];
            if (at != MatchData::kUnset && at < start)
                unset(number);
        }
    }
}

// Every match (or the first) of a compiled program, left to right. After an empty match the next
// search starts one character further on and may match right there, as in JavaScript.
std::shared_ptr<const MatchData> find_all(const Program& program, std::u16string subject_units,
                                          bool global) {
    if (!program.code)
        return nullptr;
    auto data = std::make_shared<MatchData>();
    data->subject = std::move(subject_units);
    const std::u16string_view subject = data->subject;
    data->groups = static_cast<std::size_t>(program.groups);

    std::unique_ptr<pcre2_match_data, MatchDataFree> match(
        pcre2_match_data_create_from_pattern(program.code, nullptr));
    std::unique_ptr<pcre2_match_context, MatchContextFree> context(
        pcre2_match_context_create(nullptr));
    if (!match || !context)
        return nullptr;
    pcre2_set_match_limit(context.get(), kMatchLimit);
    if (!program.callouts.empty())
        pcre2_set_callout(context.get(), decide, const_cast<Program*>(&program));
    if (pcre2_jit_stack* stack = thread_jit_stack())
        pcre2_jit_stack_assign(context.get(), nullptr, stack);

    const PCRE2_SPTR16 text = as_sptr(data->subject);
    const std::size_t length = data->subject.size();
    // PCRE2 checks the whole subject for valid UTF-16 on a search unless told not to; a subject
    // without surrogates is valid, and finding out is far cheaper than its check.
    const bool surrogates = has_surrogates(data->subject);
    uint32_t options = surrogates ? 0 : PCRE2_NO_UTF_CHECK;
    for (std::size_t start = 0; start <= length;) {
        int rc =
            pcre2_match(program.code, text, length, start, options, match.get(), context.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            rc = pcre2_match(program.code, text, length, start, options | PCRE2_NO_JIT, match.get(),
                             context.get());
        }
        if (rc == PCRE2_ERROR_NOMATCH)
            break;
        if (rc < 0)
            return nullptr;
        options = PCRE2_NO_UTF_CHECK;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(match.get());
        const std::size_t set_pairs = static_cast<std::size_t>(rc);
        std::vector<std::size_t> found(ovector, ovector + 2 * pcre2_get_ovector_count(match.get()));
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (i / 2 >= set_pairs || found[i] == PCRE2_UNSET)
                found[i] = MatchData::kUnset;
        }
        forget_earlier_passes(program, found);
        data->offsets.push_back(found[0]);
        data->offsets.push_back(found[1]);
        for (int number : program.group_numbers) {
            data->offsets.push_back(found[2 * std::size_t(number)]);
            data->offsets.push_back(found[2 * std::size_t(number) + 1]);
        }
        if (!global)
            break;
        const std::size_t end = ovector[1];
        if (end > ovector[0]) {
            start = end;
        } else {
            start = end + 1;
            if (end + 1 < length && is_lead(subject[end]) && is_trail(subject[end + 1]))
                ++start;
        }
    }
    return data;
}

std::size_t match_count(const MatchData& data) {
    return data.offsets.size() / (2 * (data.groups + 1));
}

// Offsets of group g (0 = the whole match) of match m.
std::pair<std::size_t, std::size_t> group_span(const MatchData& data, std::size_t m,
                                               std::size_t g) {
    const std::size_t base = m * 2 * (data.groups + 1) + 2 * g;
    return {data.offsets[base], data.offsets[base + 1]};
}

void append_group(std::u16string& out, const MatchData& data, std::size_t m, std::size_t g) {
    const auto [start, end] = group_span(data, m, g);
    if (start != MatchData::kUnset)
        out.append(data.subject, start, end - start);
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// JavaScript's expansion of a replacement text for match m.
void append_substitution(std::u16string& out, std::u16string_view replacement,
                         const Program& program, const MatchData& data, std::size_t m) {
    const auto [match_start, match_end] = group_span(data, m, 0);
    const std::size_t groups = data.groups;
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char16_t c = replacement[i];
        if (c != u'$' || i + 1 >= replacement.size()) {
            out.push_back(c);
            continue;
        }
        const char16_t next = replacement[i + 1];
        if (next == u'$') {
            out.push_back(u'$');
            ++i;
        } else if (next == u'&') {
            append_group(out, data, m, 0);
            ++i;
        } else if (next == u'`') {
            out.append(data.subject, 0, match_start);
            ++i;
        } else if (next == u'\'') {
            out.append(data.subject, match_end, std::u16string::npos);
            ++i;
        } else if (is_digit(next)) {
            // Two digits when they name a group, else one digit followed by a literal digit.
            std::size_t digits =
                (i + 2 < replacement.size() && is_digit(replacement[i + 2])) ? 2 : 1;
            std::size_t index = next - u'0';
            if (digits == 2) {
                const std::size_t two = index * 10 + (replacement[i + 2] - u'0');
                if (two <= groups)
                    index = two;
                else
                    digits = 1;
            }
            if (index >= 1 && index <= groups) {
                append_group(out, data, m, index);
            } else {
                out.append(replacement.substr(i, 1 + digits));
            }
            i += digits;
        } else if (next == u'<' && !program.names.empty()) {
            const std::size_t close = replacement.find(u'>', i + 2);
            if (close == std::u16string_view::npos) {
                out.push_back(u'$');
                continue;
            }
            const std::u16string_view name = replacement.substr(i + 2, close - i - 2);
            for (const auto& known : program.names) {
                if (known.first == name) {
                    append_group(out, data, m, static_cast<std::size_t>(known.second));
                    break;
                }
            }
            i = close;
        } else {
            out.push_back(u'$');
        }
    }
}

} // namespace

int SubMatchCollection::Count() const {
    return static_cast<int>(data_->groups);
}

std::optional<std::u16string> SubMatchCollection::Item(int index) const {
    const int at = ItemIndex(index);
    if (at < 0)
        return std::nullopt;
    const auto [start, end] = group_span(*data_, match_, static_cast<std::size_t>(index) + 1);
    return data_->subject.substr(start, end - start);
}

int SubMatchCollection::ItemIndex(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= data_->groups)
        return -1;
    const auto span = group_span(*data_, match_, static_cast<std::size_t>(index) + 1);
    return span.first == MatchData::kUnset ? -1 : static_cast<int>(span.first);
}

std::u16string Match::Value() const {
    const auto [start, end] = group_span(*data_, match_, 0);
    return data_->subject.substr(start, end - start);
}

int Match::FirstIndex() const {
    return static_cast<int>(group_span(*data_, match_, 0).first);
}

int Match::Length() const {
    const auto [start, end] = group_span(*data_, match_, 0);
    return static_cast<int>(end - start);
}

SubMatchCollection Match::SubMatches() const {
    return SubMatchCollection(data_, match_);
}

int MatchCollection::Count() const {
    return static_cast<int>(std::min<std::size_t>(match_count(*data_), INT_MAX));
}

std::optional<Match> MatchCollection::Item(int index) const {
    if (index < 0 || index >= Count())
        return std::nullopt;
    return Match(data_, static_cast<std::size_t>(index));
}

RegExp::RegExp() = default;
RegExp::~RegExp() = default;
RegExp::RegExp(const RegExp&) = default;
RegExp& RegExp::operator=(const RegExp&) = default;

std::shared_ptr<const Program> RegExp::program() const {
    if (!program_ || program_->pattern != Pattern || program_->ignore_case != IgnoreCase ||
        program_->multiline != Multiline)
        program_ = compile_cached(Pattern, IgnoreCase, Multiline);
    return program_;
}

std::shared_ptr<const MatchCollection> RegExp::Execute(std::u16string subject) const {
    auto data = find_all(*program(), std::move(subject), Global);
    if (!data)
        return nullptr;
    return std::make_shared<const MatchCollection>(std::move(data));
}

std::optional<std::u16string> RegExp::Replace(std::u16string_view subject,
                                              std::u16string_view replacement) const {
    const auto prog = program();
    const auto data = find_all(*prog, std::u16string(subject), Global);
    if (!data)
        return std::nullopt;
    std::u16string out;
    out.reserve(subject.size());
    std::size_t done = 0;
    for (std::size_t m = 0; m < match_count(*data); ++m) {
        const auto [start, end] = group_span(*data, m, 0);
        out.append(subject.substr(done, start - done));
        append_substitution(out, replacement, *prog, *data, m);
        done = end;
    }
    out.append(subject.substr(done));
    return out;
}

} // namespace tavelin
