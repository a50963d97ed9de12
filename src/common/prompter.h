#pragma once
// Questions and message boxes. The core decides what to ask and which text to show; the UI
// implementation (QMessageBox) or a test double decides how.
//
// A question never blocks: its answer arrives through a callback, at once (command line, tests)
// or once the user has clicked (a window-modal box). Whoever asks goes on in the callback and
// must expect to have been closed, or to have moved on, meanwhile: `WhileAlive` wraps an answer
// so that it does nothing once its owner is gone.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

// The answer to a Yes/No/Cancel question. A box closed without a button is kCancel.
enum class Answer { kYes, kNo, kCancel };

class Prompter {
public:
    using YesNo = std::function<void(bool yes)>;
    using YesNoCancel = std::function<void(Answer answer)>;

    virtual ~Prompter() = default;
    // Yes or No; a box closed without a button answers No.
    virtual void ask(const std::string& text, const std::string& caption, YesNo answer) = 0;
    virtual void askYesNoCancel(const std::string& text, const std::string& caption,
                                YesNoCancel answer) = 0;
    virtual void info(const std::string& text, const std::string& caption) = 0;
    virtual void error(const std::string& text, const std::string& caption) = 0;
};

// `fn` wrapped so that it does nothing once `alive` has expired.
template <class Fn>
auto WhileAlive(std::weak_ptr<const char> alive, Fn fn) {
    return [alive = std::move(alive), fn = std::move(fn)](auto&&... args) {
        if (!alive.expired()) fn(std::forward<decltype(args)>(args)...);
    };
}

// Records every text and answers questions from a script (default: yes), at once; or, once
// `holdQuestions(true)` was called, keeps them open until the test answers them, as a user
// who leaves a box open while the line runs on.
class RecordingPrompter : public Prompter {
public:
    struct Entry {
        std::string kind;  // "question", "info" or "error"
        std::string text;
        std::string caption;
    };

    void ask(const std::string& text, const std::string& caption, YesNo answer) override;
    void askYesNoCancel(const std::string& text, const std::string& caption,
                        YesNoCancel answer) override;
    void info(const std::string& text, const std::string& caption) override;
    void error(const std::string& text, const std::string& caption) override;

    void scriptAnswers(std::vector<bool> answers) { answers_ = std::move(answers); }
    // Answers of Yes/No/Cancel questions; when empty they take the next scripted Yes/No.
    void scriptChoices(std::vector<Answer> choices) { choices_ = std::move(choices); }
    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

    void holdQuestions(bool hold) { hold_ = hold; }
    std::size_t openQuestions() const { return open_.size(); }
    // Answers the oldest open question; false when none is open. kCancel answers a Yes/No
    // question with No.
    bool answerOpen(Answer answer);
    bool answerOpen(bool yes) { return answerOpen(yes ? Answer::kYes : Answer::kNo); }

private:
    Answer nextChoice(bool withCancel);

    std::vector<Entry> entries_;
    std::vector<bool> answers_;
    std::vector<Answer> choices_;
    bool hold_ = false;
    std::deque<YesNoCancel> open_;
};

}  // namespace korvane
