#pragma once
// The built-in answer catalogue: a constant, ordered table of exam questions with their answers,
// all in code page 936. Questions are the page's raw text (entities and stray spaces kept) and
// answers are shown byte for byte, spaces included. The data lives in catalogue.txt and is
// turned into constants at build time.

#include "runtime/text.h"

#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

namespace tavelin {

/// The answer of the empty question: four half-width spaces, meaning "no answer found".
inline constexpr std::string_view kNoAnswerMarker = "    ";

/// One row of the catalogue; both texts are code page 936 bytes.
struct CatalogueEntry {
    std::string_view question;
    std::string_view answer;
};

class AnswerCatalogue {
public:
    /// Entries in table order; the last maps the empty question to kNoAnswerMarker.
    static constexpr int kEntryCount = 318;

    /// The program's one catalogue, built on first use (safe from any thread).
    [[nodiscard]] static const AnswerCatalogue& instance();

    /// All entries in table order (entry n is element n - 1).
    [[nodiscard]] std::span<const CatalogueEntry> entries() const;

    /// The answer of the last entry whose question equals the whole text byte for byte (no
    /// trimming or folding of any kind); nothing when no entry matches. The empty text gives
    /// kNoAnswerMarker.
    [[nodiscard]] std::optional<Text> find_answer(std::string_view question) const;

    AnswerCatalogue(const AnswerCatalogue&) = delete;
    AnswerCatalogue& operator=(const AnswerCatalogue&) = delete;

private:
    AnswerCatalogue();

    // Each distinct question with the answer of its last entry, which is what an in-order scan
    // that lets later matches overwrite earlier ones would end with.
    std::unordered_map<std::string_view, std::string_view> last_answer_;
};

} // namespace tavelin
