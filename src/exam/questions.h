#pragma once
// Taking the exam's questions one at a time out of the exam page. The page is downloaded afresh
// from the link box's address for every question; the question counter says which match of the
// question pattern is the next question.

#include "runtime/desktop.h"

#include <cstdint>

namespace tavelin {

/// The question pattern: submatch 1 is the question text.
inline constexpr std::string_view kQuestionPattern = "</span>(.*?)?<a href=";

/// Shows the link box's exam in the browser box and counts the questions from the first again.
void go_to_exam_page(Desktop& desktop);

/// Empties the question box and starts a worker that fetches the next question; returns at once.
void next_question(Desktop& desktop);

/// The worker: downloads the exam page, takes the next match and appends its question.
void fetch_question(Desktop& desktop);

/// The number of the question the latest fetch took (shared with the fetch threads).
[[nodiscard]] std::int32_t question_counter();

} // namespace tavelin
