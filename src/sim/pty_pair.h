#pragma once
// A pseudo-terminal pair for the simulated line: the simulator serves the master side, a
// master program opens the slave path as if it were a serial port.
#include <string>

namespace korvane::sim {

class PtyPair {
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Opens the master, unlocks the slave and puts both ends into raw mode. On failure returns
    // false with `error` set to the failing call and its reason.
    [[nodiscard]] bool open(std::string& error);
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // Ends the line as an unplugged adapter would: the slave side sees a hang-up.
    void closeMaster();
    void close();

private:
    int master_ = -1;
    // Held open so the master never sees a hang-up between two programs using the slave.
    int keeper_ = -1;
    std::string slavePath_;
};

// Raw mode: no echo, no line editing, no character translation, 8 bits.
[[nodiscard]] bool MakeRaw(int fd);

}  // namespace korvane::sim
