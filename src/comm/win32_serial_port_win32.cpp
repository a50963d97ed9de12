#include <algorithm>
#include <chrono>
#include <memory>

#include "comm/win32_serial_port.h"
#include "common/format.h"
#include "common/wide_text.h"

namespace korvane {

namespace {

// As on POSIX: a frame that cannot leave within this time (plus its own time on the line) is
// a failed write, and the worker is free again for Stop().
constexpr int kWriteTimeoutMs = 1000;
// How long a cancelled operation may take to report back before the handle is given up on.
constexpr DWORD kCancelWaitMs = 1000;

int writeAllowanceMs(const PortSettings& s, std::size_t bytes) {
    const long bitsPerChar = 1 + s.dataBits + (s.parity == Parity::None ? 0 : 1) + 2;
    const long lineMs = static_cast<long>(bytes) * bitsPerChar * 1000 / std::max(1, s.baudRate);
    return kWriteTimeoutMs + 2 * static_cast<int>(lineMs);
}

class Event {
public:
    explicit Event(bool manualReset) : h_(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
    ~Event() {
        if (h_) CloseHandle(h_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class Win32LineIo : public LineIo {
public:
    explicit Win32LineIo(Win32SerialApi& api) : api_(api) {
        for (OVERLAPPED* ov : {&waitOv_, &readOv_, &writeOv_}) ov->hEvent = nullptr;
    }
    ~Win32LineIo() override { close(); }

    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override;
    void close() override;
    Wait wait(bool watchLine, int timeoutMs, std::string& error) override;
    void interrupt() override { SetEvent(wake_.get()); }
    Read read(std::size_t size, std::vector<std::uint8_t>& data, std::string& error) override;
    void transmit(const std::vector<std::uint8_t>& frame, LineEvents& events) override;

private:
    std::string failure(const char* operation, DWORD code) const {
        return Win32PortErrorText(operation, code, settings_.portName);
    }
    [[nodiscard]] bool configure(const std::function<void(const std::string&)>& say);
    // Bytes waiting in the driver; false with `code` set when the driver cannot say.
    bool queued(DWORD& bytes, DWORD& code);
    // Ends a pending comm-event wait and waits for it to report back.
    void endEventWait();
    void setRts(bool transmit, LineEvents* events);
    // 0, or the Win32 error of a write that did not complete; ERROR_CANCELLED after Stop().
    DWORD writeFrame(const std::vector<std::uint8_t>& frame, LineEvents& events);
    DWORD finishWrite(DWORD& written, LineEvents& events, DWORD deadlineTick);

    Win32SerialApi& api_;
    PortSettings settings_;
    HANDLE line_ = INVALID_HANDLE_VALUE;
    Event wake_{false};
    Event waitDone_{true};
    Event readDone_{true};
    Event writeDone_{true};
    OVERLAPPED waitOv_{};
    OVERLAPPED readOv_{};
    OVERLAPPED writeOv_{};
    DWORD eventMask_ = 0;
    bool eventWaitPending_ = false;
    bool rtsControl_ = false;  // the program switches RTS around each frame
    bool rtsReported_ = false;
};

bool Win32LineIo::open(const PortSettings& settings,
                       const std::function<void(const std::string&)>& say) {
    settings_ = settings;
    rtsReported_ = false;
    eventWaitPending_ = false;
    const std::wstring path = WideFromUtf8(Win32DevicePath(settings.portName));
    // A port that was just released may still be held for a moment: one more try after 1 ms.
    DWORD code = 0;
    for (int attempt = 0; attempt < 2 && line_ == INVALID_HANDLE_VALUE; ++attempt) {
        if (attempt > 0) api_.sleepMs(1);
        line_ = api_.createFile(path);
        if (line_ == INVALID_HANDLE_VALUE) code = api_.lastError();
    }
    if (line_ == INVALID_HANDLE_VALUE) {
        say(failure("CreateFile()", code));
        return false;
    }
    waitOv_ = {};
    readOv_ = {};
    writeOv_ = {};
    waitOv_.hEvent = waitDone_.get();
    readOv_.hEvent = readDone_.get();
    writeOv_.hEvent = writeDone_.get();
    ResetEvent(wake_.get());
    return configure(say);
}

bool Win32LineIo::configure(const std::function<void(const std::string&)>& say) {
    if (!api_.setCommMask(line_, EV_RXCHAR)) {
        say(failure("SetCommMask()", api_.lastError()));
        return false;
    }
    const DWORD queue = static_cast<DWORD>(std::max<std::size_t>(settings_.queueSize, 512));
    if (!api_.setupComm(line_, queue, queue)) {
        say(failure("SetupComm()", api_.lastError()));
        return false;
    }
    // Reads take what the driver holds and return at once (the worker waits on the comm
    // event instead); writes get a driver-side limit as well as the worker's own deadline.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, kWriteTimeoutMs};
    if (!api_.setCommTimeouts(line_, &timeouts)) {
        say(failure("SetCommTimeouts()", api_.lastError()));
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!api_.getCommState(line_, &dcb)) {
        say(failure("GetCommState()", api_.lastError()));
        return false;
    }
    if (!ApplyDcbSettings(settings_, dcb)) {
        say(failure("SetCommState()", ERROR_INVALID_PARAMETER));
        return false;
    }
    if (!api_.setCommState(line_, &dcb)) {
        say(failure("SetCommState()", api_.lastError()));
        return false;
    }
    api_.purgeComm(line_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    rtsControl_ = dcb.fRtsControl != RTS_CONTROL_TOGGLE && settings_.autoTxEnable == 0;
    setRts(false, nullptr);
    if (rtsReported_) say(failure("EscapeCommFunction()", api_.lastError()));
    return true;
}

void Win32LineIo::endEventWait() {
    if (!eventWaitPending_) return;
    // Clearing the mask completes the pending wait; CancelIoEx is for drivers that ignore it.
    api_.setCommMask(line_, 0);
    DWORD done = 0;
    if (api_.waitForObjects(1, &waitOv_.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) {
        api_.cancelIoEx(line_, &waitOv_);
        api_.waitForObjects(1, &waitOv_.hEvent, kCancelWaitMs);
    }
    api_.getOverlappedResult(line_, &waitOv_, &done, FALSE);
    eventWaitPending_ = false;
}

void Win32LineIo::close() {
    if (line_ == INVALID_HANDLE_VALUE) return;
    endEventWait();
    api_.closeHandle(line_);
    line_ = INVALID_HANDLE_VALUE;
}

bool Win32LineIo::queued(DWORD& bytes, DWORD& code) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!api_.clearCommError(line_, &errors, &stat)) {
        code = api_.lastError();
        return false;
    }
    bytes = stat.cbInQue;
    return true;
}

LineIo::Wait Win32LineIo::wait(bool watchLine, int timeoutMs, std::string& error) {
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    HANDLE wake = wake_.get();
    if (!watchLine) {
        return api_.waitForObjects(1, &wake, limit) == WAIT_OBJECT_0 ? Wait::Woken : Wait::TimedOut;
    }
    DWORD bytes = 0;
    DWORD code = 0;
    // Bytes already there, or a driver that cannot tell any more: either way read() decides.
    if (!queued(bytes, code) || bytes > 0) return Wait::Input;
    if (!eventWaitPending_) {
        eventMask_ = 0;
        ResetEvent(waitOv_.hEvent);
        if (api_.waitCommEvent(line_, &eventMask_, &waitOv_)) return Wait::Input;
        code = api_.lastError();
        if (code != ERROR_IO_PENDING) {
            if (MeansDeviceGone(code)) return Wait::Input;
            error = failure("WaitCommEvent()", code);
            return Wait::Failed;
        }
        eventWaitPending_ = true;
    }
    const HANDLE handles[2] = {wake, waitOv_.hEvent};
    switch (api_.waitForObjects(2, handles, limit)) {
        case WAIT_OBJECT_0:
            return Wait::Woken;  // the comm-event wait stays pending for the next round
        case WAIT_OBJECT_0 + 1: {
            eventWaitPending_ = false;
            DWORD done = 0;
            if (api_.getOverlappedResult(line_, &waitOv_, &done, FALSE)) return Wait::Input;
            code = api_.lastError();
            if (MeansDeviceGone(code) || !queued(bytes, code)) return Wait::Input;
            error = failure("WaitCommEvent()", code);
            return Wait::Failed;
        }
        case WAIT_TIMEOUT:
            return Wait::TimedOut;
        default:
            error = failure("WaitForMultipleObjects()", api_.lastError());
            return Wait::Failed;
    }
}

LineIo::Read Win32LineIo::read(std::size_t size, std::vector<std::uint8_t>& data,
                               std::string& error) {
    DWORD bytes = 0;
    DWORD code = 0;
    if (!queued(bytes, code)) {
        error = failure("ClearCommError()", code);
        return Read::Lost;
    }
    if (bytes == 0) return Read::Nothing;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes, size));
    const std::size_t had = data.size();
    data.resize(had + want);
    DWORD got = 0;
    ResetEvent(readOv_.hEvent);
    BOOL ok = api_.readFile(line_, data.data() + had, want, &got, &readOv_);
    if (!ok && api_.lastError() == ERROR_IO_PENDING) {
        // The bytes are in the driver and the read time-outs return at once.
        ok = api_.getOverlappedResult(line_, &readOv_, &got, TRUE);
        if (!ok) {
            data.resize(had);
            error = failure("GetOverlappedResults() in ReadFile()", api_.lastError());
            return Read::Lost;
        }
    } else if (!ok) {
        data.resize(had);
        error = failure("ReadFile()", api_.lastError());
        return Read::Lost;
    }
    data.resize(had + std::min<DWORD>(got, want));
    return got > 0 ? Read::Data : Read::Nothing;
}

void Win32LineIo::setRts(bool transmit, LineEvents* events) {
    if (!rtsControl_) return;
    const bool high = transmit == (settings_.txActiveHigh != 0);
    if (api_.escapeCommFunction(line_, high ? SETRTS : CLRRTS)) return;
    // An adapter without modem lines has nothing to switch, ever: say so once.
    rtsControl_ = false;
    if (rtsReported_) return;
    rtsReported_ = true;
    if (events) events->report(failure("EscapeCommFunction()", api_.lastError()));
}

void Win32LineIo::transmit(const std::vector<std::uint8_t>& frame, LineEvents& events) {
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply.
    api_.purgeComm(line_, PURGE_TXCLEAR | PURGE_RXCLEAR);
    setRts(true, &events);
    const DWORD code = writeFrame(frame, events);
    setRts(false, &events);
    if (code == 0 || code == ERROR_CANCELLED) return;  // Stop(): nobody to tell
    if (MeansDeviceGone(code)) {
        events.lose(failure("WriteFile()", code));
    } else {
        events.report(failure("WriteFile()", code));
    }
}

DWORD Win32LineIo::writeFrame(const std::vector<std::uint8_t>& frame, LineEvents& events) {
    const DWORD deadline =
        GetTickCount() + static_cast<DWORD>(writeAllowanceMs(settings_, frame.size()));
    std::size_t done = 0;
    while (done < frame.size()) {
        DWORD written = 0;
        ResetEvent(writeOv_.hEvent);
        if (!api_.writeFile(line_, frame.data() + done, static_cast<DWORD>(frame.size() - done),
                            &written, &writeOv_)) {
            const DWORD code = api_.lastError();
            if (code != ERROR_IO_PENDING) return code;
            if (const DWORD failed = finishWrite(written, events, deadline)) return failed;
        }
        done += std::min<std::size_t>(written, frame.size() - done);
        // A driver time-out ends a write short: the rest goes on until the deadline.
        if (done < frame.size() && static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return ERROR_TIMEOUT;
    }
    return 0;
}

DWORD Win32LineIo::finishWrite(DWORD& written, LineEvents& events, DWORD deadline) {
    const HANDLE handles[2] = {writeOv_.hEvent, wake_.get()};
    for (;;) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        const DWORD woke =
            left <= 0 ? WAIT_TIMEOUT : api_.waitForObjects(2, handles, static_cast<DWORD>(left));
        if (woke == WAIT_OBJECT_0) {
            if (api_.getOverlappedResult(line_, &writeOv_, &written, FALSE)) return 0;
            return api_.lastError();
        }
        // The wake-up of a new frame is looked for by the worker after this write.
        if (woke == WAIT_OBJECT_0 + 1 && !events.stopping()) continue;
        const DWORD reason = woke == WAIT_OBJECT_0 + 1 ? ERROR_CANCELLED : ERROR_TIMEOUT;
        api_.cancelIoEx(line_, &writeOv_);
        if (api_.waitForObjects(1, &writeOv_.hEvent, kCancelWaitMs) == WAIT_OBJECT_0)
            api_.getOverlappedResult(line_, &writeOv_, &written, FALSE);
        return reason;
    }
}

}  // namespace

std::string Win32DevicePath(const std::string& portName) {
    if (portName.rfind("\\\\", 0) == 0) return portName;
    return "\\\\.\\" + portName;
}

bool ApplyDcbSettings(const PortSettings& s, DCB& dcb) {
    if (s.dataBits < 5 || s.dataBits > 8 || s.baudRate <= 0) return false;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(s.baudRate);
    dcb.ByteSize = static_cast<BYTE>(s.dataBits);
    switch (s.parity) {
        case Parity::None:
            dcb.Parity = NOPARITY;
            break;
        case Parity::Odd:
            dcb.Parity = ODDPARITY;
            break;
        case Parity::Even:
            dcb.Parity = EVENPARITY;
            break;
        case Parity::Mark:
            dcb.Parity = MARKPARITY;
            break;
        case Parity::Space:
            dcb.Parity = SPACEPARITY;
            break;
    }
    switch (s.stopBits) {
        case StopBits::One:
            dcb.StopBits = ONESTOPBIT;
            break;
        case StopBits::OnePointFive:
            dcb.StopBits = ONE5STOPBITS;
            break;
        case StopBits::Two:
            dcb.StopBits = TWOSTOPBITS;
            break;
    }
    dcb.fBinary = TRUE;
    dcb.fParity = s.parity != Parity::None;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // With the adapter switching its transmitter, RTS stays off. Otherwise the driver's toggle
    // mode raises RTS exactly while its output holds data, which is the transmit level when
    // that level is high; a transmitter enabled by a low RTS is switched by the program.
    if (s.autoTxEnable != 0) {
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
    } else if (s.txActiveHigh != 0) {
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    } else {
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    }
    return true;
}

std::string Win32PortErrorText(const char* operation, DWORD code, const std::string& portName) {
    return strprintf("WARNING:  %s Failed with the following error: \n%s\nPort: %s\n", operation,
                     SystemErrorText(code).c_str(), portName.c_str());
}

bool MeansDeviceGone(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_OPERATION_ABORTED:
            return true;
        default:
            return false;
    }
}

// ---- the real calls ------------------------------------------------------------------------

HANDLE Win32SerialApi::createFile(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}
BOOL Win32SerialApi::closeHandle(HANDLE h) {
    return CloseHandle(h);
}
BOOL Win32SerialApi::setCommMask(HANDLE h, DWORD mask) {
    return SetCommMask(h, mask);
}
BOOL Win32SerialApi::setupComm(HANDLE h, DWORD inQueue, DWORD outQueue) {
    return SetupComm(h, inQueue, outQueue);
}
BOOL Win32SerialApi::setCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) {
    return SetCommTimeouts(h, timeouts);
}
BOOL Win32SerialApi::getCommState(HANDLE h, DCB* dcb) {
    return GetCommState(h, dcb);
}
BOOL Win32SerialApi::setCommState(HANDLE h, DCB* dcb) {
    return SetCommState(h, dcb);
}
BOOL Win32SerialApi::purgeComm(HANDLE h, DWORD flags) {
    return PurgeComm(h, flags);
}
BOOL Win32SerialApi::escapeCommFunction(HANDLE h, DWORD function) {
    return EscapeCommFunction(h, function);
}
BOOL Win32SerialApi::clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) {
    return ClearCommError(h, errors, stat);
}
BOOL Win32SerialApi::waitCommEvent(HANDLE h, DWORD* mask, OVERLAPPED* ov) {
    return WaitCommEvent(h, mask, ov);
}
BOOL Win32SerialApi::readFile(HANDLE h, void* buffer, DWORD size, DWORD* done, OVERLAPPED* ov) {
    return ReadFile(h, buffer, size, done, ov);
}
BOOL Win32SerialApi::writeFile(HANDLE h, const void* buffer, DWORD size, DWORD* done,
                               OVERLAPPED* ov) {
    return WriteFile(h, buffer, size, done, ov);
}
BOOL Win32SerialApi::getOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) {
    return GetOverlappedResult(h, ov, done, wait);
}
BOOL Win32SerialApi::cancelIoEx(HANDLE h, OVERLAPPED* ov) {
    return CancelIoEx(h, ov);
}
DWORD Win32SerialApi::waitForObjects(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
    return WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
}
DWORD Win32SerialApi::lastError() {
    return GetLastError();
}
void Win32SerialApi::sleepMs(DWORD ms) {
    Sleep(ms);
}

Win32SerialApi& RealWin32SerialApi() {
    static Win32SerialApi api;
    return api;
}

Win32SerialPort::Win32SerialPort(Executor& executor, PortErrorReport report, Win32SerialApi& api)
    : PortWorker(executor, std::move(report), std::make_unique<Win32LineIo>(api)) {}

}  // namespace korvane
