#pragma once

// The process-wide set of simulated cameras, in enumeration order, and the control
// interface tests use to reach them. The driver-port adapter (SimulatedDriverPort.h) looks
// cameras up here by device path.
//
// Configuration: the first simulated driver port configures the set from KORVIX_SIMULATE,
// unless a test has configured it already with Configure(). Configure() replaces the set:
// the cameras of the old set are unplugged (files open on them fail), the new cameras
// start powered up. Paths depend only on the model and the position in the list, so the
// same list gives the same paths again.
//
// Time: the convenience calls read the platform clock (CurrentClock().NowMs()), the time
// base of the register log as well.
// Threads: thread-safe.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimulatedCamera.h"

namespace korvix::sim {

class Simulator {
  public:
    static Simulator &Instance();

    // Replaces the camera set with the cameras of cameraList (the KORVIX_SIMULATE syntax). On a
    // mistake the set is left as it was, false is returned and *error says why.
    bool Configure(std::string_view cameraList, std::string *error = nullptr);
    // Configures from cameraList only when no configuration was made before; returns whether the
    // set is configured afterwards.
    bool ConfigureOnce(std::string_view cameraList);
    // Back to no cameras and not configured.
    void Reset();

    size_t CameraCount() const;
    // The camera at an index of the list, nullptr when out of range.
    std::shared_ptr<SimulatedCamera> Camera(size_t index) const;
    // The camera of a device path (letter case ignored), nullptr when none.
    std::shared_ptr<SimulatedCamera> CameraByPath(std::string_view path) const;
    // "\\?\usb#vid_04b4&pid_3260#5&sim&0&1#{328184c5-93e6-49b7-94b8-2ada13aabb39}"; empty
    // when out of range.
    std::string DevicePath(size_t index) const;
    // Paths of the plugged-in cameras, in list order.
    std::vector<std::string> PresentDevicePaths() const;

    // Shorthands for the camera at index, at the current platform time. False when the
    // index is out of range (FireTrigger also when the camera is not in trigger mode).
    bool FireTrigger(size_t index);
    bool Unplug(size_t index);
    bool Replug(size_t index);

    static uint64_t NowMs();

    // Plug events of every camera of the set: listener(plugged, path) after a camera was
    // unplugged or re-plugged (also on its own, by unplug_after), and for the cameras a
    // Configure() or Reset() removes and adds. Called on the thread that caused the change,
    // with the listener lock held and no camera lock: a listener must only hand the event
    // on. After RemovePlugListener returns, the listener is not running and will not be
    // called again.
    using PlugListener = std::function<void(bool plugged, const std::string &path)>;
    uint64_t AddPlugListener(PlugListener listener);
    void RemovePlugListener(uint64_t id);

  private:
    Simulator() = default;

    struct Entry {
        std::shared_ptr<SimulatedCamera> camera;
        std::string path;
    };

    void Announce(bool plugged, const std::string &path);

    mutable std::mutex lock_;  // guards cameras_ and configured_
    std::vector<Entry> cameras_;
    bool configured_ = false;

    // Never held while calling into a camera; a camera's plug hook takes it.
    std::mutex listenersLock_;  // guards listeners_ and nextListenerId_
    std::map<uint64_t, PlugListener> listeners_;
    uint64_t nextListenerId_ = 1;
};

}  // namespace korvix::sim
