#include "exam/lookup.h"

#include "exam/catalogue.h"
#include "exam/controls.h"

namespace tavelin {

void lookup_answer(Desktop& desktop, const ReportMailbox& mailbox) {
    // One read and an index give the same answer as scanning every entry in order with the last
    // match winning.
    if (std::optional<Text> answer =
            AnswerCatalogue::instance().find_answer(desktop.get_text(kQuestionBox)))
        desktop.set_text(kAnswerBox, *answer);
    no_answer_test(desktop, mailbox);
}

} // namespace tavelin
