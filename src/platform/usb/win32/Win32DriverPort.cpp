#include "platform/usb/win32/Win32DriverPort.h"

#include <windows.h>
// windows.h first: setupapi.h uses its types.
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <mutex>

#include "platform/usb/win32/DeviceChangeWindow.h"
#include "platform/usb/win32/Win32DeviceFile.h"

namespace korvix::platform::usb::win32 {
namespace {

// Members of the interface set that are looked at; the device table has as many rows.
constexpr DWORD kInterfaceMembers = 32;
// Room for one interface detail record; a member whose path does not fit is skipped.
constexpr size_t kDetailBufferSize = 1000;

// Guid keeps the memory layout of a Win32 GUID.
GUID ToWin32(const Guid &guid) {
    static_assert(sizeof(GUID) == sizeof(Guid));
    GUID result;
    std::memcpy(&result, &guid, sizeof(result));
    return result;
}

class Win32DriverPort final : public DriverPort {
  public:
    std::vector<std::string> EnumerateInterfaces(const Guid &interfaceGuid) override {
        std::vector<std::string> paths;
        const GUID guid = ToWin32(interfaceGuid);
        HDEVINFO set =
            SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) return paths;
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
            char bytes[kDetailBufferSize];
        } buffer;
        for (DWORD member = 0; member < kInterfaceMembers; ++member) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof(data);
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, member, &data)) {
                if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
                continue;  // a member that cannot be read is skipped
            }
            DWORD required = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
            if (required == 0 || required > sizeof(buffer)) continue;
            std::memset(&buffer, 0, sizeof(buffer));
            buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (!SetupDiGetDeviceInterfaceDetailA(set, &data, &buffer.detail, sizeof(buffer),
                                                  nullptr, nullptr)) {
                continue;
            }
            const char *path = buffer.detail.DevicePath;
            const size_t room =
                sizeof(buffer) - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
            paths.emplace_back(path, strnlen(path, room));
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    std::unique_ptr<DeviceFile> Open(const std::string &path, bool overlapped) override {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        return AdoptFileHandle(handle, overlapped);
    }

    // The hidden window starts with the first registration and stays until the port goes.
    DeviceChangeToken RegisterDeviceChangeCallback(DeviceChangeCallback callback) override {
        {
            std::lock_guard lock(windowLock_);
            if (!window_) {
                auto window = std::make_unique<DeviceChangeWindow>(changes_, kCameraInterfaceGuid);
                if (!window->Started()) return 0;
                window_ = std::move(window);
            }
        }
        return changes_.Register(std::move(callback));
    }

    void UnregisterDeviceChangeCallback(DeviceChangeToken token) override {
        changes_.Unregister(token);
    }

  private:
    DeviceChangeNotifier changes_;
    std::mutex windowLock_;  // guards window_
    // Declared after changes_, so it is destroyed first: nothing is posted to a notifier
    // that has gone.
    std::unique_ptr<DeviceChangeWindow> window_;
};

}  // namespace

std::unique_ptr<DriverPort> CreateWin32DriverPort() {
    return std::make_unique<Win32DriverPort>();
}

}  // namespace korvix::platform::usb::win32
