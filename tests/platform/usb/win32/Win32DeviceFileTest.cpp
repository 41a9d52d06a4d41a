// The Win32 device file's synchronous and overlapped requests, against named pipes: a
// transceive request (write a message, read the answer) is a DeviceIoControl that stays
// pending until the other end answers, as a camera transfer stays pending until the camera
// delivers, so completion, the result query and cancellation all take the camera's road.

#include "platform/usb/win32/Win32DeviceFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "platform/Event.h"

namespace korvix::platform::usb::win32 {
namespace {

constexpr uint32_t kFsctlPipeTransceive = 0x11C017;

// A message pipe; the test answers on the server end, the device file owns the client end.
class MessagePipe {
  public:
    explicit MessagePipe(bool overlappedClient) {
        static int count = 0;
        const std::string name = "\\\\.\\pipe\\korvix-device-file-" +
                                 std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++count);
        server_ = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                   4096, 0, nullptr);
        client_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              overlappedClient ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(client_, &mode, nullptr, nullptr);
        ConnectNamedPipe(server_, nullptr);  // the client is there already
    }
    ~MessagePipe() { CloseHandle(server_); }
    MessagePipe(const MessagePipe &) = delete;
    MessagePipe &operator=(const MessagePipe &) = delete;

    std::unique_ptr<DeviceFile> ClientFile(bool overlapped) {
        return AdoptFileHandle(client_, overlapped);
    }

    // Waits for the client's message, answers it with `reply` and returns the message.
    std::string Answer(const std::string &reply) {
        char message[64];
        DWORD read = 0, written = 0;
        if (!ReadFile(server_, message, sizeof(message), &read, nullptr)) return {};
        WriteFile(server_, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
        return std::string(message, read);
    }

  private:
    HANDLE server_ = INVALID_HANDLE_VALUE;
    HANDLE client_ = INVALID_HANDLE_VALUE;
};

TEST(PlatformUsbWin32DeviceFile, PendingRequestCompletesWithTheAnswerWhenThePeerAnswers) {
    MessagePipe pipe(true);
    auto file = pipe.ClientFile(true);
    ASSERT_NE(file, nullptr);
    Event done;
    Overlapped overlapped(done);
    char ping[] = "ping";
    char answer[64] = {};
    uint32_t returned = 99;
    ASSERT_EQ(file->SubmitIoControl(kFsctlPipeTransceive, ping, 4, answer, sizeof(answer),
                                    &returned, overlapped),
              kIoPending);
    EXPECT_EQ(file->GetOverlappedResult(overlapped, &returned, false), kIoIncomplete);
    EXPECT_FALSE(done.IsSet());

    EXPECT_EQ(pipe.Answer("pong!"), "ping");
    done.WaitForever();
    EXPECT_EQ(file->GetOverlappedResult(overlapped, &returned, false), kIoSuccess);
    EXPECT_EQ(returned, 5u);
    EXPECT_EQ(std::string(answer, 5), "pong!");
}

TEST(PlatformUsbWin32DeviceFile, ClosingTheFileCancelsAndCompletesAPendingRequest) {
    MessagePipe pipe(true);
    auto file = pipe.ClientFile(true);
    ASSERT_NE(file, nullptr);
    Event done;
    Overlapped overlapped(done);
    char ping[] = "ping";
    char answer[64] = {};
    uint32_t returned = 0;
    ASSERT_EQ(file->SubmitIoControl(kFsctlPipeTransceive, ping, 4, answer, sizeof(answer),
                                    &returned, overlapped),
              kIoPending);
    file.reset();
    EXPECT_FALSE(overlapped.IsPending());
    EXPECT_TRUE(done.IsSet());
    EXPECT_EQ(overlapped.Error(), kIoOperationAborted);
    EXPECT_EQ(overlapped.BytesTransferred(), 0u);
}

TEST(PlatformUsbWin32DeviceFile, SynchronousRequestWaitsForTheAnswerOnPlainAndOverlappedFiles) {
    for (bool overlapped : {false, true}) {
        SCOPED_TRACE(overlapped ? "overlapped" : "plain");
        MessagePipe pipe(overlapped);
        auto file = pipe.ClientFile(overlapped);
        ASSERT_NE(file, nullptr);
        std::string message;
        std::thread peer([&] { message = pipe.Answer("pong!"); });
        char ping[] = "ping";
        char answer[64] = {};
        uint32_t returned = 0;
        EXPECT_EQ(file->IoControl(kFsctlPipeTransceive, ping, 4, answer, sizeof(answer), &returned),
                  kIoSuccess);
        peer.join();
        EXPECT_EQ(message, "ping");
        EXPECT_EQ(returned, 5u);
        EXPECT_EQ(std::string(answer, 5), "pong!");
    }
}

}  // namespace
}  // namespace korvix::platform::usb::win32
