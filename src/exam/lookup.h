#pragma once
// The question box's content-changed handler.

#include "exam/reports.h"

namespace tavelin {

/// Shows the catalogue's answer to the question box's whole text in the answer box (the empty
/// question gives the no-answer marker; an unknown question leaves the answer box alone), then
/// reports a non-empty question that is left with the marker.
void lookup_answer(Desktop& desktop, const ReportMailbox& mailbox);

} // namespace tavelin
