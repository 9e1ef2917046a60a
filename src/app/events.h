#pragma once
// Which event of which control runs which action.

#include "exam/reports.h"

namespace tavelin {

/// Binds every handled event of the main window and its controls.
void bind_events(Desktop& desktop, const ReportMailbox& mailbox);

/// The report mailbox built into the program.
[[nodiscard]] ReportMailbox report_mailbox();

} // namespace tavelin
