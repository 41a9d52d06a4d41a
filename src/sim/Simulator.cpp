#include "sim/Simulator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/Clock.h"

namespace korvix::sim {

namespace {

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string MakeDevicePath(uint16_t productId, size_t index) {
    char path[128];
    std::snprintf(path, sizeof path,
                  "\\\\?\\usb#vid_%04x&pid_%04x#5&sim&0&%zu#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                  kVendorId, productId, index + 1);
    return path;
}

}  // namespace

Simulator &Simulator::Instance() {
    static Simulator instance;
    return instance;
}

uint64_t Simulator::NowMs() {
    return platform::CurrentClock().NowMs();
}

bool Simulator::Configure(std::string_view cameraList, std::string *error) {
    CameraListParseResult parsed = ParseCameraList(cameraList);
    if (!parsed.ok()) {
        if (error != nullptr) *error = parsed.error;
        return false;
    }
    const uint64_t now = NowMs();
    std::vector<Entry> cameras;
    for (size_t i = 0; i < parsed.cameras.size(); ++i) {
        const CameraConfig &config = parsed.cameras[i];
        auto camera = std::make_shared<SimulatedCamera>(config, now);
        std::string path = MakeDevicePath(config.model->productId, i);
        camera->SetPlugHook([this, path](bool plugged) { Announce(plugged, path); });
        cameras.push_back({std::move(camera), std::move(path)});
    }
    std::vector<Entry> old;
    {
        std::lock_guard lock(lock_);
        old.swap(cameras_);
        cameras_ = std::move(cameras);
        configured_ = true;
    }
    for (Entry &entry : old) entry.camera->Unplug(now);
    for (size_t i = 0; i < parsed.cameras.size(); ++i) {
        Announce(true, MakeDevicePath(parsed.cameras[i].model->productId, i));
    }
    return true;
}

bool Simulator::ConfigureOnce(std::string_view cameraList) {
    {
        std::lock_guard lock(lock_);
        if (configured_) return true;
    }
    return Configure(cameraList);
}

void Simulator::Reset() {
    std::vector<Entry> old;
    {
        std::lock_guard lock(lock_);
        old.swap(cameras_);
        configured_ = false;
    }
    const uint64_t now = NowMs();
    for (Entry &entry : old) entry.camera->Unplug(now);
}

size_t Simulator::CameraCount() const {
    std::lock_guard lock(lock_);
    return cameras_.size();
}

std::shared_ptr<SimulatedCamera> Simulator::Camera(size_t index) const {
    std::lock_guard lock(lock_);
    return index < cameras_.size() ? cameras_[index].camera : nullptr;
}

std::shared_ptr<SimulatedCamera> Simulator::CameraByPath(std::string_view path) const {
    std::lock_guard lock(lock_);
    for (const Entry &entry : cameras_) {
        if (SameTextIgnoringCase(entry.path, path)) return entry.camera;
    }
    return nullptr;
}

std::string Simulator::DevicePath(size_t index) const {
    std::lock_guard lock(lock_);
    return index < cameras_.size() ? cameras_[index].path : std::string();
}

std::vector<std::string> Simulator::PresentDevicePaths() const {
    std::lock_guard lock(lock_);
    std::vector<std::string> paths;
    for (const Entry &entry : cameras_) {
        if (entry.camera->Plugged()) paths.push_back(entry.path);
    }
    return paths;
}

bool Simulator::FireTrigger(size_t index) {
    auto camera = Camera(index);
    return camera != nullptr && camera->FireTrigger(NowMs());
}

bool Simulator::Unplug(size_t index) {
    auto camera = Camera(index);
    if (camera == nullptr) return false;
    camera->Unplug(NowMs());
    return true;
}

bool Simulator::Replug(size_t index) {
    auto camera = Camera(index);
    if (camera == nullptr) return false;
    camera->Replug(NowMs());
    return true;
}

uint64_t Simulator::AddPlugListener(PlugListener listener) {
    std::lock_guard lock(listenersLock_);
    const uint64_t id = nextListenerId_++;
    listeners_.emplace(id, std::move(listener));
    return id;
}

void Simulator::RemovePlugListener(uint64_t id) {
    std::lock_guard lock(listenersLock_);
    listeners_.erase(id);
}

void Simulator::Announce(bool plugged, const std::string &path) {
    std::lock_guard lock(listenersLock_);
    for (auto &[id, listener] : listeners_) listener(plugged, path);
}

}  // namespace korvix::sim
