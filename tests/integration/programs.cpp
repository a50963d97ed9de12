#include "integration/programs.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace korvane::testing {

namespace {

struct Pipe {
    int read = -1, write = -1;
    bool open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
};

// The environment a child starts with: ours, less the language, plus `extra`.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
    static const char* const kLanguageVariables[] = {
        "LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG="};
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        bool language = false;
        for (const char* name : kLanguageVariables)
            language = language || std::strncmp(*e, name, std::strlen(name)) == 0;
        if (!language) env.emplace_back(*e);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

int waitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

pid_t SpawnProgram(const std::vector<std::string>& argv, int in, int out, int err,
                   const std::vector<std::string>& environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText = childEnvironment(environment);
    std::vector<char*> env;
    for (auto& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int UnusedLocalPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, int timeoutMs,
                         const std::vector<std::string>& environment) {
    ProgramResult result;
    Pipe out, err;
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!out.open() || !err.open() || devNull < 0) return result;
    pid_t pid = SpawnProgram(argv, devNull, out.write, err.write, environment);
    ::close(devNull);
    ::close(out.write);
    ::close(err.write);
    if (pid < 0) {
        ::close(out.read);
        ::close(err.read);
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{out.read, POLLIN, 0}, {err.read, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents) continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds) {
        if (f.fd >= 0) ::close(f.fd);
    }
    result.exitCode = waitExit(pid);
    return result;
}

SimProcess::SimProcess(const std::vector<std::string>& options) {
    Pipe in, out, err;
    if (!in.open() || !out.open() || !err.open()) return;
    std::vector<std::string> argv{KORVANE_SIM_PATH, "--pty"};
    argv.insert(argv.end(), options.begin(), options.end());
    pid_ = SpawnProgram(argv, in.read, out.write, err.write);
    ::close(in.read);
    ::close(out.write);
    ::close(err.write);
    stdin_ = in.write;
    stdout_ = out.read;
    stderr_ = err.read;
    if (pid_ < 0) return;
    std::string first = readLine(stdout_, 20000);
    if (first.rfind("PTY ", 0) == 0) pty_ = first.substr(4);
    // Served on TCP: the first line is the port name to connect to.
    if (first.find("://") != std::string::npos) pty_ = first;
}

SimProcess::~SimProcess() {
    if (stdin_ >= 0) ::close(stdin_);  // the simulator ends when its standard input closes
    if (pid_ > 0) {
        for (int i = 0; i < 200 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            if (i == 199) {
                ::kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
    }
    if (stdout_ >= 0) ::close(stdout_);
    if (stderr_ >= 0) ::close(stderr_);
}

void SimProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string SimProcess::readLine(int fd, int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return line;
        char c;
        if (::read(fd, &c, 1) != 1) return line;
        if (c == '\n') return line;
        line += c;
    }
}

std::string SimProcess::command(const std::string& line) {
    std::string text = line + "\n";
    if (::write(stdin_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    return readLine(stderr_, 20000);
}

}  // namespace korvane::testing
