#pragma once
// The editor's message boxes, on a command line: every text goes to the diagnostics stream and
// nobody is there to say yes.
#include <ostream>
#include <string>

#include "common/prompter.h"

namespace korvane::cli {

class StreamPrompter : public Prompter {
public:
    explicit StreamPrompter(std::ostream& err) : err_(err) {}
    bool askYesNo(const std::string& text, const std::string&) override {
        err_ << text << "\n";
        return false;
    }
    void info(const std::string& text, const std::string&) override { err_ << text << "\n"; }
    void error(const std::string& text, const std::string&) override { err_ << text << "\n"; }

private:
    std::ostream& err_;
};

}  // namespace korvane::cli
