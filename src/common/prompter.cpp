#include "common/prompter.h"

namespace korvane {

Answer RecordingPrompter::nextChoice(bool withCancel) {
    if (withCancel && !choices_.empty()) {
        Answer choice = choices_.front();
        choices_.erase(choices_.begin());
        return choice;
    }
    if (answers_.empty()) return Answer::kYes;
    const bool yes = answers_.front();
    answers_.erase(answers_.begin());
    return yes ? Answer::kYes : Answer::kNo;
}

void RecordingPrompter::ask(const std::string& text, const std::string& caption, YesNo answer) {
    entries_.push_back({"question", text, caption});
    if (hold_) {
        open_.push_back([answer = std::move(answer)](Answer a) { answer(a == Answer::kYes); });
        return;
    }
    answer(nextChoice(false) == Answer::kYes);
}

void RecordingPrompter::askYesNoCancel(const std::string& text, const std::string& caption,
                                       YesNoCancel answer) {
    entries_.push_back({"question", text, caption});
    if (hold_) {
        open_.push_back(std::move(answer));
        return;
    }
    answer(nextChoice(true));
}

bool RecordingPrompter::answerOpen(Answer answer) {
    if (open_.empty()) return false;
    YesNoCancel pending = std::move(open_.front());
    open_.pop_front();
    pending(answer);
    return true;
}

void RecordingPrompter::info(const std::string& text, const std::string& caption) {
    entries_.push_back({"info", text, caption});
}

void RecordingPrompter::error(const std::string& text, const std::string& caption) {
    entries_.push_back({"error", text, caption});
}

}  // namespace korvane
