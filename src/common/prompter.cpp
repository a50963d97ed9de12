#include "common/prompter.h"

namespace korvane {

bool RecordingPrompter::askYesNo(const std::string& text, const std::string& caption) {
    entries_.push_back({"question", text, caption});
    if (answers_.empty()) return true;
    bool answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
}

void RecordingPrompter::info(const std::string& text, const std::string& caption) {
    entries_.push_back({"info", text, caption});
}

void RecordingPrompter::error(const std::string& text, const std::string& caption) {
    entries_.push_back({"error", text, caption});
}

}  // namespace korvane
