#include "sim/pty_pair.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvane::sim {

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

PtyPair::~PtyPair() { close(); }

bool PtyPair::open(std::string& error) {
    close();
    auto fail = [&](const char* call) {
        error = std::string(call) + ": " + std::strerror(errno);
        close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail("posix_openpt()");
    if (grantpt(master_) != 0) return fail("grantpt()");
    if (unlockpt(master_) != 0) return fail("unlockpt()");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname_r()");
    slavePath_ = name;
    keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keeper_ < 0) return fail("open()");
    if (!MakeRaw(keeper_)) return fail("tcsetattr()");
    if (!MakeRaw(master_)) return fail("tcsetattr()");
    int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl()");
    return true;
}

void PtyPair::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyPair::close() {
    closeMaster();
    if (keeper_ >= 0) ::close(keeper_);
    keeper_ = -1;
}

}  // namespace korvane::sim
