#include "exam/catalogue.h"

namespace tavelin {

namespace catalogue_data {
// Defined in the source generated from catalogue.txt.
extern const CatalogueEntry entries[AnswerCatalogue::kEntryCount];
} // namespace catalogue_data

AnswerCatalogue::AnswerCatalogue() {
    last_answer_.reserve(kEntryCount);
    for (const CatalogueEntry& entry : entries())
        last_answer_.insert_or_assign(entry.question, entry.answer);
}

const AnswerCatalogue& AnswerCatalogue::instance() {
    static const AnswerCatalogue catalogue;
    return catalogue;
}

std::span<const CatalogueEntry> AnswerCatalogue::entries() const {
    return std::span<const CatalogueEntry>(catalogue_data::entries, kEntryCount);
}

std::optional<Text> AnswerCatalogue::find_answer(std::string_view question) const {
    const auto found = last_answer_.find(question);
    if (found == last_answer_.end())
        return std::nullopt;
    return Text(found->second);
}

} // namespace tavelin
