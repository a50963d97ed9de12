#pragma once
// The editor's message boxes, on a command line: every text goes to the diagnostics stream and
// nobody is there to say yes.
#include <ostream>
#include <string>
#include <utility>

#include "common/prompter.h"

namespace korvane::cli {

class StreamPrompter : public Prompter {
public:
    // `prefix` goes before every information and error text.
    explicit StreamPrompter(std::ostream& err, std::string prefix = {})
        : err_(err), prefix_(std::move(prefix)) {}
    void ask(const std::string& text, const std::string&, YesNo answer) override {
        err_ << text << std::endl;
        answer(false);
    }
    void askYesNoCancel(const std::string& text, const std::string&, YesNoCancel answer) override {
        err_ << text << std::endl;
        answer(Answer::kCancel);
    }
    void info(const std::string& text, const std::string&) override { report(text); }
    void error(const std::string& text, const std::string&) override { report(text); }
    // Whether anything was reported besides questions.
    bool complained() const { return complained_; }

private:
    void report(const std::string& text) {
        err_ << prefix_ << text << std::endl;
        complained_ = true;
    }
    std::ostream& err_;
    std::string prefix_;
    bool complained_ = false;
};

}  // namespace korvane::cli
