// Catalogue lookup against the plain handler scan: for each of the 318 entries, read the question
// box's text afresh and compare it with the entry's question, the last match setting the answer.
// The workload is every catalogue question once plus as many near misses (a trailing space), the
// mix of a session in which some questions are unknown. Prints nanoseconds per lookup and ratios.

#include "exam/catalogue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using tavelin::AnswerCatalogue;
using tavelin::CatalogueEntry;
using tavelin::Text;

// Stands in for the two edit boxes: reading the question box hands out a copy of its text.
struct Boxes {
    Text question;
    Text answer;
};

[[gnu::noinline]] Text get_text(const Boxes& boxes) {
    return boxes.question;
}

void scan_with_reads(Boxes& boxes) {
    for (const CatalogueEntry& entry : AnswerCatalogue::instance().entries())
        if (get_text(boxes) == entry.question)
            boxes.answer = Text(entry.answer);
}

// The same scan with the question read once: what is left when only the comparisons count.
void scan_compare_only(Boxes& boxes) {
    const Text question = get_text(boxes);
    for (const CatalogueEntry& entry : AnswerCatalogue::instance().entries())
        if (question == entry.question)
            boxes.answer = Text(entry.answer);
}

void indexed(Boxes& boxes) {
    if (std::optional<Text> answer = AnswerCatalogue::instance().find_answer(get_text(boxes)))
        boxes.answer = std::move(*answer);
}

// Best of several rounds, in nanoseconds per lookup.
template <class Lookup>
double time_per_lookup(Lookup lookup, const std::vector<Text>& questions, int repeats,
                       size_t& checksum) {
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        Boxes boxes;
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < repeats; ++r)
            for (const Text& q : questions) {
                boxes.question = q;
                lookup(boxes);
                checksum += boxes.answer.size();
            }
        const std::chrono::duration<double, std::nano> spent =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count() / (double(repeats) * double(questions.size())));
    }
    return best;
}

} // namespace

int main() {
    std::vector<Text> questions;
    for (const CatalogueEntry& entry : AnswerCatalogue::instance().entries()) {
        questions.emplace_back(entry.question);
        questions.push_back(Text(entry.question) + " ");
    }
    size_t checksum = 0;
    const double scan = time_per_lookup(scan_with_reads, questions, 20, checksum);
    const double bare = time_per_lookup(scan_compare_only, questions, 100, checksum);
    const double index = time_per_lookup(indexed, questions, 2000, checksum);
    std::printf("lookups per round: %zu (318 questions and 318 near misses)\n", questions.size());
    std::printf("scan reading the question per entry: %9.1f ns per lookup\n", scan);
    std::printf("scan reading the question once:      %9.1f ns per lookup\n", bare);
    std::printf("indexed find_answer:                 %9.1f ns per lookup\n", index);
    std::printf("ratio against the scan with reads:   %9.1f (goal >= 50)\n", scan / index);
    std::printf("ratio against the bare scan:         %9.1f\n", bare / index);
    std::printf("(checksum %zu)\n", checksum);
    return scan / index >= 50 ? 0 : 1;
}
