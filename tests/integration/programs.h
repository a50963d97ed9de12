#pragma once
// Running korvane-sim and korvane-cli as the tests' child processes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace korvane::testing {

struct ProgramResult {
    int exitCode = -1;  // -1: killed or did not start
    std::string out;
    std::string err;
};

// Starts a program with the given descriptors as its standard input, output and error; -1 when
// it could not be started. The child gets this process's environment without the variables that
// choose the interface language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), so that the machine's
// locale never changes what a test sees; `environment` ("NAME=value") is added to it.
pid_t SpawnProgram(const std::vector<std::string>& argv, int in, int out, int err,
                   const std::vector<std::string>& environment = {});

// Runs a program to its end (killed after `timeoutMs`), standard input empty, in the
// environment SpawnProgram gives it.
ProgramResult RunProgram(const std::vector<std::string>& argv, int timeoutMs = 60000,
                         const std::vector<std::string>& environment = {});

// A port on the loopback that nobody listens on (it was free a moment ago; 0 when none could
// be had). Tests that start a server on it retry, since another test may take it first.
int UnusedLocalPort();

// korvane-sim --pty with the given options, serving until destroyed.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return !pty_.empty(); }
    const std::string& pty() const { return pty_; }
    // Sends one command line and returns the simulator's answer to it.
    std::string command(const std::string& line);
    // Ends the simulator at once, as a crash or a pulled cable would: its line and its
    // connections close under whoever uses them.
    void kill();

private:
    std::string readLine(int fd, int timeoutMs);

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
    std::string pty_;
};

}  // namespace korvane::testing
