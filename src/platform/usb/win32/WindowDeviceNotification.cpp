#include "platform/usb/win32/WindowDeviceNotification.h"

#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include <cstring>

namespace korvix::platform::usb::win32 {

uintptr_t RegisterWindowForDeviceInterfaces(void *window, const Guid &interfaceGuid) {
    static_assert(sizeof(GUID) == sizeof(Guid));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    static_assert(sizeof(filter) == 32);  // the record size the system expects
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&filter.dbcc_classguid, &interfaceGuid, sizeof(GUID));
    HDEVNOTIFY registration = RegisterDeviceNotificationA(static_cast<HWND>(window), &filter,
                                                          DEVICE_NOTIFY_WINDOW_HANDLE);
    return reinterpret_cast<uintptr_t>(registration);
}

void UnregisterWindowForDeviceInterfaces(uintptr_t registration) {
    if (registration != 0) UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(registration));
}

}  // namespace korvix::platform::usb::win32
