// Windows lists its serial ports under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: one value per port,
// named after the driver's device, whose data is the port name.
#include <windows.h>

#include "comm/port_enumeration.h"
#include "common/format.h"
#include "common/wide_text.h"

namespace korvane {
namespace {

class SystemSerialCommRegistry : public SerialCommRegistry {
public:
    bool read(std::vector<SerialCommEntry>& entries, std::string& error) override {
        HKEY key = nullptr;
        const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                          KEY_QUERY_VALUE, &key);
        if (opened == ERROR_FILE_NOT_FOUND) return true;  // no serial driver loaded
        if (opened != ERROR_SUCCESS) {
            error = strprintf("Could not read the serial port registry (err=%lx)",
                              static_cast<unsigned long>(opened));
            return false;
        }
        bool ok = readValues(key, entries, error);
        RegCloseKey(key);
        return ok;
    }

private:
    static bool readValues(HKEY key, std::vector<SerialCommEntry>& entries, std::string& error) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD nameLength = 256;
            wchar_t data[256];
            DWORD dataBytes = sizeof data;
            DWORD type = 0;
            const LONG rc = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
            if (rc == ERROR_NO_MORE_ITEMS) return true;
            if (rc == ERROR_MORE_DATA) continue;  // not a port name: none is that long
            if (rc != ERROR_SUCCESS) {
                error = strprintf("Could not read the serial port registry (err=%lx)",
                                  static_cast<unsigned long>(rc));
                return false;
            }
            if (type != REG_SZ) continue;
            // The data need not end in a NUL; take only the characters it holds.
            std::size_t chars = dataBytes / sizeof(wchar_t);
            while (chars > 0 && data[chars - 1] == L'\0') --chars;
            entries.push_back({Utf8FromWide(std::wstring_view(name, nameLength)),
                               Utf8FromWide(std::wstring_view(data, chars))});
        }
    }
};

}  // namespace

PortEnumerationResult EnumerateSerialPorts(const PortEnumerationRoots&) {
    SystemSerialCommRegistry registry;
    return EnumerateRegistryPorts(registry);
}

PortNameList FallbackPortNames() {
    PortNameList names;
    for (int i = 1; i <= 16; ++i) names.push_back(strprintf("COM%d", i));
    return names;
}

bool IsPresentTypedPort(const std::string& port) {
    // A port the registry does not list (a virtual port, one Wine maps) still has its DOS
    // device name while it can be opened; where the name leads does not matter here.
    return IsPresentComPort(port, [](const std::string& name) {
        wchar_t target[512];
        return QueryDosDeviceW(WideFromUtf8(name).c_str(), target, 512) != 0 ||
               GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    });
}

const char* LocalPortExamples() {
    return "COM3, \\\\.\\COM12";
}

}  // namespace korvane
