#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "comm/win32_serial_port.h"
#include "common/executor.h"
#include "common/prompter.h"

namespace korvane {
namespace {

TEST(ApplyDcbSettings, MapsParityStopBitsDataBitsAndRts) {
    struct Case {
        Parity parity;
        int dataBits;
        StopBits stop;
        int autoTx, txHigh;
        BYTE dcbParity, dcbStop;
        DWORD rts;
    } cases[] = {
        {Parity::None, 8, StopBits::One, 1, 1, NOPARITY, ONESTOPBIT, RTS_CONTROL_DISABLE},
        {Parity::Odd, 7, StopBits::OnePointFive, 1, 1, ODDPARITY, ONE5STOPBITS,
         RTS_CONTROL_DISABLE},
        {Parity::Even, 8, StopBits::Two, 0, 1, EVENPARITY, TWOSTOPBITS, RTS_CONTROL_TOGGLE},
        {Parity::Mark, 8, StopBits::One, 0, 0, MARKPARITY, ONESTOPBIT, RTS_CONTROL_ENABLE},
        {Parity::Space, 5, StopBits::One, 1, 0, SPACEPARITY, ONESTOPBIT, RTS_CONTROL_DISABLE},
    };
    for (const auto& c : cases) {
        DCB dcb{};
        dcb.fOutxCtsFlow = TRUE;  // leftovers of another program's settings
        dcb.fOutX = TRUE;
        PortSettings s;
        s.baudRate = 19200;
        s.parity = c.parity;
        s.dataBits = c.dataBits;
        s.stopBits = c.stop;
        s.autoTxEnable = c.autoTx;
        s.txActiveHigh = c.txHigh;
        ASSERT_TRUE(ApplyDcbSettings(s, dcb));
        EXPECT_EQ(dcb.BaudRate, 19200u);
        EXPECT_EQ(dcb.ByteSize, c.dataBits);
        EXPECT_EQ(dcb.Parity, c.dcbParity);
        EXPECT_EQ(dcb.fParity, c.parity != Parity::None);
        EXPECT_EQ(dcb.StopBits, c.dcbStop);
        EXPECT_EQ(dcb.fRtsControl, c.rts) << c.autoTx << c.txHigh;
        EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutX || dcb.fInX);
        EXPECT_TRUE(dcb.fBinary);
    }
    DCB dcb{};
    PortSettings s;
    s.dataBits = 9;
    EXPECT_FALSE(ApplyDcbSettings(s, dcb));
    s.dataBits = 8;
    s.baudRate = 0;
    EXPECT_FALSE(ApplyDcbSettings(s, dcb));
}

TEST(Win32DevicePath, ReachesEveryComPortAndKeepsDevicePaths) {
    EXPECT_EQ(Win32DevicePath("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(Win32DevicePath("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(Win32DevicePath("\\\\.\\COM4"), "\\\\.\\COM4");
}

// A COM port as the driver would behave, scripted: received bytes wait in `input`, the
// comm-event wait and the overlapped write complete through the real events the port made.
class FakeApi : public Win32SerialApi {
public:
    DWORD openError = 0;
    DWORD rtsError = 0;
    DWORD writeError = 0;     // WriteFile fails at once with this
    DWORD gone = 0;           // every call on the handle fails with this (device pulled out)
    bool writeHangs = false;  // the write stays pending until cancelled
    DWORD writeChunk = 0;     // a write completes with at most this many bytes (0: all)
    DWORD readChunk = 0;      // a read returns at most this many bytes (0: all asked)
    std::atomic<bool> holdingUp{false};
    std::atomic<int> cancels{0};
    std::vector<std::string> log;
    std::vector<DWORD> sleeps;
    std::vector<std::uint8_t> written;

    void arrive(std::vector<std::uint8_t> bytes) {
        std::lock_guard lock(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        if (waitOv_) SetEvent(waitOv_->hEvent);
    }

    HANDLE createFile(const std::wstring& path) override {
        EXPECT_EQ(path, L"\\\\.\\COM7");
        log.push_back("open");
        if (openError) return fail(openError), INVALID_HANDLE_VALUE;
        return kHandle;
    }
    BOOL closeHandle(HANDLE) override { return log.push_back("close"), TRUE; }
    BOOL setCommMask(HANDLE, DWORD mask) override {
        std::lock_guard lock(mutex_);
        if (mask == 0 && waitOv_) {
            aborted_ = true;
            SetEvent(waitOv_->hEvent);
        }
        return TRUE;
    }
    BOOL setupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL setCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL getCommState(HANDLE, DCB* dcb) override { return *dcb = DCB{}, TRUE; }
    BOOL setCommState(HANDLE, DCB*) override { return TRUE; }
    BOOL purgeComm(HANDLE, DWORD flags) override {
        if (flags & PURGE_RXCLEAR) {
            std::lock_guard lock(mutex_);
            input_.clear();
        }
        return log.push_back("purge"), TRUE;
    }
    BOOL escapeCommFunction(HANDLE, DWORD f) override {
        log.push_back(f == SETRTS ? "rts-high" : "rts-low");
        return rtsError ? fail(rtsError) : TRUE;
    }
    BOOL clearCommError(HANDLE, DWORD* errors, COMSTAT* stat) override {
        if (gone) return fail(gone);
        std::lock_guard lock(mutex_);
        *errors = 0;
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(input_.size());
        return TRUE;
    }
    BOOL waitCommEvent(HANDLE, DWORD* mask, OVERLAPPED* ov) override {
        if (gone) return fail(gone);
        std::lock_guard lock(mutex_);
        if (!input_.empty()) return *mask = EV_RXCHAR, TRUE;
        waitOv_ = ov;
        aborted_ = false;
        return fail(ERROR_IO_PENDING);
    }
    BOOL readFile(HANDLE, void* buffer, DWORD size, DWORD* done, OVERLAPPED*) override {
        if (gone) return fail(gone);
        std::lock_guard lock(mutex_);
        DWORD n = std::min<DWORD>(size, static_cast<DWORD>(input_.size()));
        if (readChunk) n = std::min(n, readChunk);
        std::copy_n(input_.begin(), n, static_cast<std::uint8_t*>(buffer));
        input_.erase(input_.begin(), input_.begin() + n);
        *done = n;
        return TRUE;
    }
    BOOL writeFile(HANDLE, const void* buffer, DWORD size, DWORD* done, OVERLAPPED* ov) override {
        log.push_back("write");
        if (gone) return fail(gone);
        if (writeError) return fail(writeError);
        const DWORD n = writeChunk ? std::min(size, writeChunk) : size;
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        written.insert(written.end(), bytes, bytes + n);
        if (!writeHangs) return *done = n, TRUE;
        writeOv_ = ov;
        holdingUp = true;
        return fail(ERROR_IO_PENDING);
    }
    BOOL getOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* done, BOOL) override {
        std::lock_guard lock(mutex_);
        *done = 0;
        if (ov == waitOv_) {
            waitOv_ = nullptr;
            if (aborted_) return fail(ERROR_OPERATION_ABORTED);
            return TRUE;
        }
        if (ov == writeOv_ && writeCancelled_) return fail(ERROR_OPERATION_ABORTED);
        return TRUE;
    }
    BOOL cancelIoEx(HANDLE, OVERLAPPED* ov) override {
        ++cancels;
        std::lock_guard lock(mutex_);
        if (ov == writeOv_) writeCancelled_ = true;
        if (ov == waitOv_) aborted_ = true;
        SetEvent(ov->hEvent);
        return TRUE;
    }
    DWORD waitForObjects(DWORD count, const HANDLE* handles, DWORD timeoutMs) override {
        return WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
    }
    DWORD lastError() override { return lastError_; }
    void sleepMs(DWORD ms) override { sleeps.push_back(ms); }

private:
    BOOL fail(DWORD code) {
        lastError_ = code;
        return FALSE;
    }

    inline static const HANDLE kHandle = reinterpret_cast<HANDLE>(0x4242);
    static thread_local DWORD lastError_;
    std::mutex mutex_;
    std::deque<std::uint8_t> input_;
    OVERLAPPED* waitOv_ = nullptr;
    OVERLAPPED* writeOv_ = nullptr;
    bool aborted_ = false;
    bool writeCancelled_ = false;
};
thread_local DWORD FakeApi::lastError_ = 0;

struct PortRig {
    QueueExecutor executor;
    RecordingPrompter prompter;
    FakeApi api;
    Win32SerialPort port{executor, ReportThroughPrompter(prompter), api};
    std::vector<std::uint8_t> received;

    bool open(int autoTx = 1, int txHigh = 1) {
        PortSettings s;
        s.portName = "COM7";
        s.autoTxEnable = autoTx;
        s.txActiveHigh = txHigh;
        return port.Open(s, [this](std::uint8_t b) { received.push_back(b); });
    }
    // Runs the protocol thread's side until `done` or a generous limit.
    template <typename Done>
    bool pumpUntil(Done done) {
        for (int i = 0; i < 20000; ++i) {
            executor.drain();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

TEST(Win32SerialPort, BusyPortFailsAfterTwoAttemptsWithTheSystemsText) {
    PortRig rig;
    rig.api.openError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(rig.open());
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(std::count(rig.api.log.begin(), rig.api.log.end(), "open"), 2);
    EXPECT_EQ(rig.api.sleeps, std::vector<DWORD>{1});
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    const std::string& text = rig.prompter.entries()[0].text;
    EXPECT_EQ(text.rfind("WARNING:  CreateFile() Failed with the following error: \n", 0), 0u);
    EXPECT_NE(text.find("\nPort: COM7\n"), std::string::npos);
    // The system's own words, not a bare number.
    EXPECT_EQ(text.find("error 5"), std::string::npos);
    EXPECT_FALSE(rig.port.SendText("x"));
}

TEST(Win32SerialPort, HandsOverBytesInOrderThroughPartialReads) {
    PortRig rig;
    rig.api.readChunk = 3;
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.port.Start());
    rig.api.arrive({1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(rig.pumpUntil([&] { return rig.received.size() >= 7; }));
    rig.api.arrive({8, 9});
    ASSERT_TRUE(rig.pumpUntil([&] { return rig.received.size() >= 9; }));
    EXPECT_EQ(rig.received, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    rig.port.Stop();
    rig.port.Close();
    EXPECT_TRUE(rig.prompter.entries().empty());
}

TEST(Win32SerialPort, RtsFramesEveryWriteAlsoWhenItFails) {
    struct Case {
        int autoTx, txHigh;
        DWORD writeError;
        std::vector<std::string> calls;
        std::size_t reports;
    } cases[] = {
        // The driver's toggle mode switches an active-high transmitter itself.
        {0, 1, 0, {"purge", "write"}, 0},
        {0, 0, 0, {"purge", "rts-low", "write", "rts-high"}, 0},
        {0, 0, ERROR_INVALID_PARAMETER, {"purge", "rts-low", "write", "rts-high"}, 1},
        {1, 1, 0, {"purge", "write"}, 0},
    };
    for (const auto& c : cases) {
        PortRig rig;
        ASSERT_TRUE(rig.open(c.autoTx, c.txHigh));
        rig.api.log.clear();
        rig.api.writeError = c.writeError;
        rig.port.TransmitFrame({0x05, 0x30, 0x04});
        EXPECT_EQ(rig.api.log, c.calls) << c.autoTx << c.txHigh << c.writeError;
        rig.executor.drain();
        ASSERT_EQ(rig.prompter.entries().size(), c.reports);
        if (c.reports) {
            EXPECT_NE(rig.prompter.entries()[0].text.find("WriteFile()"), std::string::npos);
        }
    }
}

TEST(Win32SerialPort, ShortWritesGoOnUntilTheWholeFrameIsOut) {
    PortRig rig;
    rig.api.writeChunk = 2;
    ASSERT_TRUE(rig.open());
    rig.port.TransmitFrame({1, 2, 3, 4, 5});
    EXPECT_EQ(rig.api.written, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(std::count(rig.api.log.begin(), rig.api.log.end(), "write"), 3);
}

TEST(Win32SerialPort, AdapterWithoutModemLinesIsReportedOnceAndRtsIsLeftAlone) {
    PortRig rig;
    rig.api.rtsError = ERROR_INVALID_FUNCTION;
    ASSERT_TRUE(rig.open(0, 0));
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_NE(rig.prompter.entries()[0].text.find("EscapeCommFunction()"), std::string::npos);
    rig.api.log.clear();
    rig.port.TransmitFrame({0x05});
    rig.executor.drain();
    EXPECT_EQ(rig.api.log, (std::vector<std::string>{"purge", "write"}));
    EXPECT_EQ(rig.prompter.entries().size(), 1u);
}

// A write the driver never completes holds up neither the worker nor Stop() for ever: Stop()
// cancels it without a report nobody waits for; left alone it ends in a reported time-out.
TEST(Win32SerialPort, HangingWriteIsCancelledWithinBoundedTime) {
    for (bool stop : {true, false}) {
        PortRig rig;
        rig.api.writeHangs = true;
        ASSERT_TRUE(rig.open(0, 0));
        if (stop) {
            ASSERT_TRUE(rig.port.Start());
            ASSERT_TRUE(rig.port.SendText("01R"));
            ASSERT_TRUE(rig.pumpUntil([&] { return rig.api.holdingUp.load(); }));
            rig.port.Stop();
        } else {
            rig.port.TransmitFrame({0x05, 0x30, 0x04});
        }
        rig.executor.drain();
        EXPECT_GE(rig.api.cancels.load(), 1) << stop;
        if (stop) {
            EXPECT_TRUE(rig.prompter.entries().empty());
        } else {
            ASSERT_EQ(rig.prompter.entries().size(), 1u);
            EXPECT_NE(rig.prompter.entries()[0].text.find("WriteFile()"), std::string::npos);
        }
        // The transmitter is released all the same.
        EXPECT_EQ(rig.api.log.back(), "rts-high") << stop;
    }
}

TEST(Win32SerialPort, VanishedDeviceIsOnePortFailureAndIsNotReadAgain) {
    PortRig rig;
    ASSERT_TRUE(rig.open());
    ASSERT_TRUE(rig.port.Start());
    rig.api.arrive({1, 2});
    ASSERT_TRUE(rig.pumpUntil([&] { return rig.received.size() >= 2; }));
    rig.api.gone = ERROR_ACCESS_DENIED;
    rig.api.arrive({3});  // ends the pending wait as a pulled plug does
    ASSERT_TRUE(rig.pumpUntil([&] { return !rig.prompter.entries().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    rig.executor.drain();
    EXPECT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_NE(rig.prompter.entries()[0].text.find("Port: COM7"), std::string::npos);
    // The link's own time-outs tell the rest; a frame is not written to a gone device.
    rig.api.log.clear();
    ASSERT_TRUE(rig.port.SendText("01R"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    rig.port.Stop();
    rig.executor.drain();
    EXPECT_EQ(std::count(rig.api.log.begin(), rig.api.log.end(), "write"), 0);
    EXPECT_EQ(rig.received.size(), 2u);
}

}  // namespace
}  // namespace korvane
