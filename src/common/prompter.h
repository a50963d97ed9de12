#pragma once
// Questions and message boxes. The core decides what to ask and which text to show; the UI
// implementation (QMessageBox) or a test double decides how.
#include <string>
#include <vector>

namespace korvane {

class Prompter {
public:
    virtual ~Prompter() = default;
    [[nodiscard]] virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    virtual void info(const std::string& text, const std::string& caption) = 0;
    virtual void error(const std::string& text, const std::string& caption) = 0;
};

// Records every text and answers questions from a script (default: yes). Used by tests, and
// by the CLI, which has nobody to ask.
class RecordingPrompter : public Prompter {
public:
    struct Entry {
        std::string kind;  // "question", "info" or "error"
        std::string text;
        std::string caption;
    };

    bool askYesNo(const std::string& text, const std::string& caption) override;
    void info(const std::string& text, const std::string& caption) override;
    void error(const std::string& text, const std::string& caption) override;

    void scriptAnswers(std::vector<bool> answers) { answers_ = std::move(answers); }
    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
    std::vector<bool> answers_;
};

}  // namespace korvane
