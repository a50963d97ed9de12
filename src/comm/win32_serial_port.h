#pragma once
// The drive link's serial port on Windows: a COM port opened exclusively for overlapped I/O
// behind a port worker. The worker waits on the driver's receive event and on its own wake-up
// event together, so that Stop() and a new frame end a wait at once, and a write that hangs is
// cancelled (CancelIoEx) at its deadline.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/port_worker.h"

namespace korvane {

// "COM7" -> "\\.\COM7" (the form that reaches COM10 and above too); a name that already starts
// with "\\" is taken as it is.
std::string Win32DevicePath(const std::string& portName);

// The device control block for the port settings: binary mode, no flow control, and RTS as
// the RS-485 transmitter needs it. False for settings the driver cannot take (data bits
// outside 5..8, a baud rate of 0 or less).
[[nodiscard]] bool ApplyDcbSettings(const PortSettings& settings, DCB& dcb);

// The error box text for a failed call, with the system's own text for `code`.
std::string Win32PortErrorText(const char* operation, DWORD code, const std::string& portName);

// Whether `code` says the device itself is gone (a USB adapter pulled out).
bool MeansDeviceGone(DWORD code);

// The Win32 calls the port makes, so tests can script them. Event objects are real.
class Win32SerialApi {
public:
    virtual ~Win32SerialApi() = default;
    virtual HANDLE createFile(const std::wstring& path);
    virtual BOOL closeHandle(HANDLE h);
    virtual BOOL setCommMask(HANDLE h, DWORD mask);
    virtual BOOL setupComm(HANDLE h, DWORD inQueue, DWORD outQueue);
    virtual BOOL setCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts);
    virtual BOOL getCommState(HANDLE h, DCB* dcb);
    virtual BOOL setCommState(HANDLE h, DCB* dcb);
    virtual BOOL purgeComm(HANDLE h, DWORD flags);
    virtual BOOL escapeCommFunction(HANDLE h, DWORD function);
    virtual BOOL clearCommError(HANDLE h, DWORD* errors, COMSTAT* stat);
    virtual BOOL waitCommEvent(HANDLE h, DWORD* mask, OVERLAPPED* ov);
    virtual BOOL readFile(HANDLE h, void* buffer, DWORD size, DWORD* done, OVERLAPPED* ov);
    virtual BOOL writeFile(HANDLE h, const void* buffer, DWORD size, DWORD* done, OVERLAPPED* ov);
    virtual BOOL getOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait);
    virtual BOOL cancelIoEx(HANDLE h, OVERLAPPED* ov);
    virtual DWORD waitForObjects(DWORD count, const HANDLE* handles, DWORD timeoutMs);
    virtual DWORD lastError();
    virtual void sleepMs(DWORD ms);
};
Win32SerialApi& RealWin32SerialApi();

class Win32SerialPort : public PortWorker {
public:
    Win32SerialPort(Executor& executor, PortErrorReport report,
                    Win32SerialApi& api = RealWin32SerialApi());

    // Writes one frame as the worker does, on the calling thread; for tests.
    void TransmitFrame(const std::vector<std::uint8_t>& frame) { transmitNow(frame); }
};

}  // namespace korvane
