#include "platform/usb/DeviceChanges.h"

#include <vector>

namespace korvix::platform::usb {

DeviceChangeNotifier::~DeviceChangeNotifier() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (delivery_.joinable()) delivery_.join();
}

DeviceChangeToken DeviceChangeNotifier::Register(DeviceChangeCallback callback) {
    std::lock_guard lock(mutex_);
    const DeviceChangeToken token = nextToken_++;
    callbacks_.emplace(token, std::make_shared<DeviceChangeCallback>(std::move(callback)));
    if (!delivery_.joinable()) delivery_ = std::thread([this] { Deliver(); });
    return token;
}

void DeviceChangeNotifier::Unregister(DeviceChangeToken token) {
    std::unique_lock lock(mutex_);
    callbacks_.erase(token);
    if (std::this_thread::get_id() == delivery_.get_id()) return;
    changed_.wait(lock, [&] { return running_ != token; });
}

void DeviceChangeNotifier::Post(DeviceChange change, const std::string &path) {
    {
        std::lock_guard lock(mutex_);
        if (callbacks_.empty()) return;  // nobody to tell: nothing to keep
        queue_.push_back({change, path});
    }
    changed_.notify_all();
}

void DeviceChangeNotifier::Deliver() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const Pending pending = std::move(queue_.front());
        queue_.pop_front();
        // Callbacks registered when the change is delivered, in registration order; one
        // unregistered meanwhile is skipped.
        std::vector<DeviceChangeToken> tokens;
        for (const auto &[token, callback] : callbacks_) tokens.push_back(token);
        for (DeviceChangeToken token : tokens) {
            auto found = callbacks_.find(token);
            if (found == callbacks_.end()) continue;
            std::shared_ptr<DeviceChangeCallback> callback = found->second;
            running_ = token;
            lock.unlock();
            (*callback)(pending.change, pending.path);
            lock.lock();
            running_ = 0;
            changed_.notify_all();
            if (stop_) return;
        }
    }
}

}  // namespace korvix::platform::usb
