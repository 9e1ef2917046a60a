#include "regex/regex_object.h"

#include "runtime/codepage.h"

namespace tavelin {
namespace {

// Each object brackets a per-thread set-up and tear-down of the platform's component runtime.
// The engine here needs none, so the bracket stays empty; it marks where such work would go.
void enter_thread_runtime() {}
void leave_thread_runtime() {}

Text to_text(std::u16string_view units) {
    return codepage::cp936_from_utf16(units);
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
    matches_ = engine_->Execute(codepage::utf16_from_cp936(subject));
    subject_.assign(subject);
    return matches_ != nullptr;
}

Text RegexObject::pattern_text() const {
    return engine_ ? to_text(engine_->Pattern) : Text();
}

Text RegexObject::replace_matches(std::optional<std::string_view> replacement) const {
    if (!engine_)
        return {};
    const auto replaced = engine_->Replace(codepage::utf16_from_cp936(subject_),
                                           codepage::utf16_from_cp936(replacement.value_or("")));
    return replaced ? to_text(*replaced) : Text();
}

int RegexObject::match_count() const {
    return matches_ ? matches_->Count() : 0;
}

Text RegexObject::match_text(int n, int* position) const {
    std::optional<Match> match;
    if (matches_)
        match = matches_->Item(n - 1);
    const Text text = match ? to_text(match->Value()) : Text();
    if (position)
        *position = match ? byte_position(match->FirstIndex(), match->FirstIndex(), text) : -2;
    return text;
}

Text RegexObject::submatch_text(int n, int k, int* position) const {
    std::optional<Match> match;
    if (matches_)
        match = matches_->Item(n - 1);
    int index = -1;
    Text text;
    if (match) {
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
