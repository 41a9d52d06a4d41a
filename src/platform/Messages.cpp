#include "platform/Messages.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace korvix::platform {
namespace {

struct Message {
    void *window;
    unsigned int message;
    uintptr_t wParam;
    intptr_t lParam;
};

// The process-wide message queue and its dispatcher thread. The thread starts with the
// first registered handler and ends when the library is unloaded.
class Dispatcher {
public:
    ~Dispatcher() {
        {
            std::lock_guard guard(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    uint64_t Post(const Message &message) {
        uint64_t ticket = 0;
        {
            std::lock_guard guard(mutex_);
            if (handler_ == nullptr) return 0;
            queue_.push_back(message);
            ticket = ++posted_;
        }
        wake_.notify_all();
        return ticket;
    }

    bool Handled(uint64_t ticket) {
        std::lock_guard guard(mutex_);
        return delivered_ >= ticket;
    }

    bool WaitHandled(uint64_t ticket) {
        std::unique_lock lock(mutex_);
        if (std::this_thread::get_id() == thread_.get_id()) return delivered_ >= ticket;
        idle_.wait(lock, [&] { return delivered_ >= ticket || stopping_; });
        return delivered_ >= ticket;
    }

    void SetHandler(MessageHandler handler, void *context) {
        std::unique_lock lock(mutex_);
        handler_ = handler;
        context_ = context;
        if (handler == nullptr) {
            delivered_ += queue_.size();
            queue_.clear();
        } else if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
        // The caller may free the old handler's context once this returns.
        if (std::this_thread::get_id() != thread_.get_id()) {
            idle_.wait(lock, [this] { return !delivering_; });
        }
        idle_.notify_all();
    }

    void Flush() {
        std::unique_lock lock(mutex_);
        uint64_t target = posted_;
        idle_.wait(lock, [&] { return delivered_ >= target || stopping_; });
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            Message next = queue_.front();
            queue_.pop_front();
            MessageHandler handler = handler_;
            void *context = context_;
            delivering_ = true;
            lock.unlock();
            if (handler != nullptr) handler(next.window, next.message, next.wParam, next.lParam, context);
            lock.lock();
            delivering_ = false;
            ++delivered_;
            idle_.notify_all();
        }
    }

    std::mutex mutex_;  // guards every field below
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Message> queue_;
    MessageHandler handler_ = nullptr;
    void *context_ = nullptr;
    bool delivering_ = false;
    bool stopping_ = false;
    uint64_t posted_ = 0;
    uint64_t delivered_ = 0;
    std::thread thread_;
};

Dispatcher &TheDispatcher() {
    static Dispatcher dispatcher;
    return dispatcher;
}

}  // namespace

uint64_t PostMessage(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam) {
    return TheDispatcher().Post(Message{window, message, wParam, lParam});
}

bool MessageHandled(uint64_t ticket) { return TheDispatcher().Handled(ticket); }

bool WaitMessageHandled(uint64_t ticket) { return TheDispatcher().WaitHandled(ticket); }

void SetMessageHandler(MessageHandler handler, void *context) {
    TheDispatcher().SetHandler(handler, context);
}

void FlushMessages() { TheDispatcher().Flush(); }

}  // namespace korvix::platform
