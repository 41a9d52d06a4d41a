#include <gtest/gtest.h>

#include <windows.h>
#undef PostMessage

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Messages.h"
#include "platform/Registry.h"
#include "platform/SharedSection.h"
#include "platform/TextConversion.h"
#include "support/ChildProcess.h"

// What the Windows backend hands to the system, checked through the system's own calls.

using namespace korvix::platform;

namespace {

const std::string kKey = "Software\\Velsor\\KorvixTesslin3T2Sdk\\PlatformTest";

// Reads one value straight from the registry.
bool QueryValue(const std::string &path, const char *name, DWORD &type, std::vector<BYTE> &data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 64;
    data.assign(size, 0);
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    data.resize(size);
    return status == ERROR_SUCCESS;
}

struct Posted {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> g_received;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) {
        g_received.push_back({window, message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window of the calling thread whose procedure records what arrives.
HWND CreateRecordingWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KorvixPlatformTestWindow";
    RegisterClassExA(&windowClass);  // fails harmlessly when a previous case registered it
    return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

// Hands every message waiting in this thread's queue to its window procedure.
void DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Selects a thread code page for the lifetime of the object.
class ThreadLocale {
public:
    explicit ThreadLocale(LCID locale) : previous_(GetThreadLocale()) { SetThreadLocale(locale); }
    ~ThreadLocale() { SetThreadLocale(previous_); }

private:
    LCID previous_;
};

}  // namespace

TEST(PlatformWin32Registry, ValuesLandUnderTheTestRootWithRegistryTypes) {
    const std::string root = std::getenv("KORVIX_REGISTRY");
    EXPECT_EQ(RegistryKey::StorePath(), "HKEY_CURRENT_USER\\" + root);
    {
        auto key = RegistryKey::Create(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->SetDword("Exposure", 0x12345678u));
        const unsigned char blob[6] = {1, 2, 3, 0, 0xFE, 0xFF};
        ASSERT_TRUE(key->SetBinary("Mask", blob, sizeof blob));
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(QueryValue(root + "\\" + kKey, "Exposure", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(data.size(), 4u);
    DWORD exposure;
    std::memcpy(&exposure, data.data(), sizeof exposure);
    EXPECT_EQ(exposure, 0x12345678u);

    ASSERT_TRUE(QueryValue(root + "\\" + kKey, "Mask", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, (std::vector<BYTE>{1, 2, 3, 0, 0xFE, 0xFF}));
    // Nothing reaches the user's real key.
    EXPECT_FALSE(QueryValue(kKey, "Exposure", type, data));
}

TEST(PlatformWin32Registry, ValueOfAnotherRegistryTypeIsWrongType) {
    auto key = RegistryKey::Create(kKey);
    ASSERT_NE(key, nullptr);
    HKEY raw = nullptr;
    const std::string path = std::string(std::getenv("KORVIX_REGISTRY")) + "\\" + kKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &raw), ERROR_SUCCESS);
    // Four bytes, as a DWORD has, but text.
    ASSERT_EQ(RegSetValueExA(raw, "Gain", 0, REG_SZ, reinterpret_cast<const BYTE *>("abc"), 4),
              ERROR_SUCCESS);
    RegCloseKey(raw);
    uint32_t value = 5;
    EXPECT_EQ(key->GetDword("Gain", value), RegistryResult::WrongType);
    EXPECT_EQ(value, 5u);
}

TEST(PlatformWin32SharedSection, IsANamedMappingOtherProgramsCanOpen) {
    auto section = SharedSection::Open("U3T2-MemMap", 8584);
    ASSERT_NE(section, nullptr);
    static_cast<unsigned char *>(section->Data())[8583] = 0x5A;
    const std::string name = SharedSection::SystemName("U3T2-MemMap");
    EXPECT_EQ(name, std::string(std::getenv("KORVIX_IPC_NAMESPACE")) + "U3T2-MemMap");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    ASSERT_NE(mapping, nullptr);
    void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 8584);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(static_cast<unsigned char *>(view)[8583], 0x5A);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

TEST(PlatformWin32SharedSectionChild, LockAndEndWhileHolding) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs only as a child process";
    auto section = SharedSection::Open("LockTest", 64);
    ASSERT_NE(section, nullptr);
    section->Lock();
    static_cast<unsigned char *>(section->Data())[0] = 0x77;
    std::_Exit(7);  // as a crash would: the lock is never released
}

// A holder that ended inside its lock must not lock every other holder out for good.
TEST(PlatformWin32SharedSection, LockLeftByAnEndedHolderIsTakenOver) {
    auto section = SharedSection::Open("LockTest", 64);
    ASSERT_NE(section, nullptr);
    korvix::test::ChildProcess child("PlatformWin32SharedSectionChild.LockAndEndWhileHolding");
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Wait(), 7);
    section->Lock();
    EXPECT_EQ(static_cast<unsigned char *>(section->Data())[0], 0x77);
    section->Unlock();
}

TEST(PlatformWin32Messages, PostedMessagesReachTheWindowProcedureInOrder) {
    g_received.clear();
    HWND window = CreateRecordingWindow();
    ASSERT_NE(window, nullptr);
    const uint64_t first = PostMessage(window, 0x8002, 11, 1);
    std::thread poster([window] { PostMessage(window, 0x8003, 12, -2); });
    poster.join();
    EXPECT_GT(first, 0u);
    EXPECT_TRUE(MessageHandled(first));
    DispatchWaitingMessages();

    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].window, window);
    EXPECT_EQ(g_received[0].message, 0x8002u);
    EXPECT_EQ(g_received[0].wParam, 11u);
    EXPECT_EQ(g_received[0].lParam, 1);
    EXPECT_EQ(g_received[1].message, 0x8003u);
    EXPECT_EQ(g_received[1].lParam, -2);

    DestroyWindow(window);
    EXPECT_EQ(PostMessage(window, 0x8002, 0, 0), 0u);
}

// PostMessageA to no window would land in the posting thread's own queue.
TEST(PlatformWin32Messages, MessageToNoWindowIsDropped) {
    EXPECT_EQ(PostMessage(nullptr, 0x8003, 0, 1), 0u);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(PlatformWin32TextConversion, UsesTheThreadCodePage) {
    ThreadLocale japanese(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT));
    const char *shiftJis = "cam \x93\xFA\x96\x7B";  // "cam " and two kanji in code page 932
    wchar_t wide[16];
    ASSERT_EQ(NarrowToWide(shiftJis, wide, 16), 7u);
    EXPECT_EQ(wide[4], 0x65E5);
    EXPECT_EQ(wide[5], 0x672C);
    char back[16];
    ASSERT_EQ(WideToNarrow(wide, back, sizeof back), std::strlen(shiftJis) + 1);
    EXPECT_STREQ(back, shiftJis);

    // A lead byte without its trail byte, and a character code page 932 lacks.
    EXPECT_EQ(NarrowToWide("a\x93", wide, 16), 0u);
    EXPECT_EQ(WideToNarrow(L"caf\x00E9", back, sizeof back), 0u);
}
