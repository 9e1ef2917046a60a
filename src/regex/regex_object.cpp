#include "regex/regex_object.h"

#include "runtime/codepage.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace tavelin {
namespace {

// Each object brackets a per-thread set-up and tear-down of the platform's component runtime.
// The engine here needs none, so the bracket stays empty; it marks where such work would go.
void enter_thread_runtime() {}
void leave_thread_runtime() {}

Text to_text(std::u16string_view units) {
    return codepage::cp936_from_utf16(units);
}

bool is_lead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// Where the bytes from i on stop being below 0x80, eight at a time while they all are.
std::size_t ascii_end(const unsigned char* bytes, std::size_t i, std::size_t size) {
    for (std::uint64_t word; i + 8 <= size; i += 8) {
        std::memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < size && bytes[i] < 0x80)
        ++i;
    return i;
}

// Bytes below 0x80 widened to the same UTF-16 units, eight at a time where possible.
void widen(const unsigned char* from, std::size_t count, char16_t* to) {
    for (; count >= 8; count -= 8, from += 8, to += 8) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        to[3] = from[3];
        to[4] = from[4];
        to[5] = from[5];
        to[6] = from[6];
        to[7] = from[7];
    }
    for (; count > 0; --count)
        *to++ = *from++;
}

// UTF-16 of a code page 936 text, the same as codepage::utf16_from_cp936 gives. Bytes below 0x80
// are the same characters in both, and an exam page is mostly markup, so only the runs of other
// characters go through the converter, a batch of them per call, joined by line feeds (which no
// run holds: a trail byte is 0x40 or more) so that what each run gave can be told apart again.
std::u16string units_of(std::string_view text) {
    // Batches keep the converter's buffers small enough to be reused rather than mapped afresh.
    constexpr std::size_t kBatch = 32 * 1024;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::u16string out(size, u'\0'); // each byte gives at most one unit
    char16_t* const first = out.data();
    char16_t* to = first;
    std::size_t done = 0; // bytes already in out
    std::string runs;
    std::vector<std::pair<std::size_t, std::size_t>> spans; // the runs of the batch
    const auto flush = [&] {
        const std::u16string converted = codepage::utf16_from_cp936(runs);
        std::size_t from = 0;
        for (const auto& [start, end] : spans) {
            widen(bytes + done, start - done, to);
            to += start - done;
            // A converter that split the runs differently from here gives up the shortcut.
            if (from > converted.size())
                return false;
            std::size_t stop = converted.find(u'\n', from);
            if (stop == std::u16string::npos)
                stop = converted.size();
            if (std::size_t(to - first) + (stop - from) > size)
                return false;
            to += converted.copy(to, stop - from, from);
            from = stop + 1;
            done = end;
        }
        runs.clear();
        spans.clear();
        return from == converted.size() + 1;
    };
    for (std::size_t i = ascii_end(bytes, 0, size); i < size; i = ascii_end(bytes, i, size)) {
        const std::size_t start = i;
        while (i < size && bytes[i] >= 0x80)
            i += is_lead(bytes[i]) && i + 1 < size && bytes[i + 1] >= 0x40 ? 2 : 1;
        if (!runs.empty())
            runs.push_back('\n');
        runs.append(text.data() + start, i - start);
        spans.emplace_back(start, i);
        if (runs.size() >= kBatch && !flush())
            return codepage::utf16_from_cp936(text);
    }
    if (!runs.empty() && !flush())
        return codepage::utf16_from_cp936(text);
    widen(bytes + done, size - done, to);
    to += size - done;
    out.resize(std::size_t(to - first));
    return out;
}

} // namespace

RegexObject::RegexObject() {
    enter_thread_runtime();
}

RegexObject::~RegexObject() {
    engine_.reset();
    matches_.reset();
    subject_.clear();
    leave_thread_runtime();
}

RegexObject::RegexObject(const RegexObject& other)
    : engine_(other.engine_), matches_(other.matches_), subject_(other.subject_) {
    enter_thread_runtime();
}

RegexObject& RegexObject::operator=(const RegexObject& other) {
    engine_ = other.engine_;
    matches_ = other.matches_;
    subject_ = other.subject_;
    return *this;
}

bool RegexObject::execute(std::string_view pattern, std::string_view subject,
                          std::optional<bool> case_sensitive, std::optional<bool> multiline,
                          std::optional<bool> global, std::optional<bool> expand_quotes) {
    engine_.reset();
    matches_.reset();
    engine_ = std::make_shared<RegExp>();
    engine_->IgnoreCase = !case_sensitive.value_or(false);
    engine_->Multiline = multiline.value_or(true);
    engine_->Global = global.value_or(true);
    Text effective(pattern);
    if (expand_quotes.value_or(false)) {
        static const Text placeholder = cp936("#引号");
        effective = replace_text(effective, placeholder, "\"", 1, -1, true);
    }
    engine_->Pattern = codepage::utf16_from_cp936(effective);
    matches_ = engine_->Execute(units_of(subject));
    subject_.assign(subject);
    return matches_ != nullptr;
}

Text RegexObject::pattern_text() const {
    return engine_ ? to_text(engine_->Pattern) : Text();
}

Text RegexObject::replace_matches(std::optional<std::string_view> replacement) const {
    if (!engine_)
        return {};
    const auto replaced =
        engine_->Replace(units_of(subject_), codepage::utf16_from_cp936(replacement.value_or("")));
    return replaced ? to_text(*replaced) : Text();
}

int RegexObject::match_count() const {
    return matches_ ? matches_->Count() : 0;
}

std::optional<Match> RegexObject::match_at(int n) const {
    if (!matches_ || n < 1)
        return std::nullopt;
    return matches_->Item(n - 1);
}

Text RegexObject::match_text(int n, int* position) const {
    const std::optional<Match> match = match_at(n);
    const Text text = match ? to_text(match->Value()) : Text();
    if (position)
        *position = match ? byte_position(match->FirstIndex(), match->FirstIndex(), text) : -2;
    return text;
}

Text RegexObject::submatch_text(int n, int k, int* position) const {
    const std::optional<Match> match = match_at(n);
    int index = -1;
    Text text;
    if (match && k >= 1) {
        const SubMatchCollection groups = match->SubMatches();
        index = groups.ItemIndex(k - 1);
        if (const auto value = groups.Item(k - 1))
            text = to_text(*value);
    }
    if (position)
        *position = index >= 0 ? byte_position(index, match->FirstIndex(), text) : -2;
    return text;
}

int RegexObject::submatch_count() const {
    if (!matches_)
        return 0;
    const auto first = matches_->Item(0);
    return first ? first->SubMatches().Count() : 0;
}

// The byte offset of a text found at a UTF-16 position: the code page 936 length of what comes
// before it. Where the subject held bytes that do not survive the round trip (a stray lead byte,
// say) the offset is looked for with find_text from the match's UTF-16 position instead, which
// never lies beyond the match.
int RegexObject::byte_position(int unit_index, int first_index, const Text& found) const {
    const std::u16string_view units = matches_->Subject();
    const std::size_t offset =
        codepage::cp936_from_utf16(units.substr(0, static_cast<std::size_t>(unit_index))).size();
    if (offset <= subject_.size() && subject_.compare(offset, found.size(), found) == 0)
        return static_cast<int>(offset);
    const int at = find_text(subject_, found, first_index);
    return at < 0 ? -2 : at - 1;
}

} // namespace tavelin
