#pragma once

#include <memory>
#include <optional>
#include <string>

namespace trovimo {

// One initialised session with NVIDIA's management library (NVML) for one device. The library
// is loaded with dlopen, so the program runs where the NVIDIA driver is absent.
//
// An open session keeps the device open, which keeps a discrete GPU from runtime-suspending;
// whoever holds one decides when to let go of it.
class NvmlSession {
public:
    // NVML return codes this program tells apart (nvml.h).
    enum Status : int {
        success = 0,
        notSupported = 3,
        driverNotLoaded = 9,
        gpuLost = 15,
        resetRequired = 16,
        libraryMismatch = 18,
    };

    // The loaded library and its entry points. Loaded once and kept: sessions come and go,
    // but a driver library is not made to be unloaded and loaded again every few seconds.
    class Library;

    // Absent when dlopen finds no such library or one of the five entry points is missing.
    // Touches no device.
    [[nodiscard]] static std::shared_ptr<const Library> load(const std::string& path);

    struct Opened {
        std::unique_ptr<NvmlSession> session; // null when the device did not answer
        unsigned deviceCount = 0;             // what nvmlDeviceGetCount_v2 said (0 on failure)
    };

    // Initialises NVML and takes device `index`. Absent session when initialisation fails, or
    // the index is out of range or refused (the count may include devices without permission).
    [[nodiscard]] static Opened open(std::shared_ptr<const Library> library, unsigned index);

    // The device's utilisation in percent over the driver's last sample period; absent on any
    // error (GPU lost, reset required, driver gone, library/driver mismatch...).
    [[nodiscard]] std::optional<unsigned> utilizationPercent() const;

    NvmlSession(const NvmlSession&) = delete;
    NvmlSession& operator=(const NvmlSession&) = delete;
    ~NvmlSession(); // nvmlShutdown

private:
    NvmlSession(std::shared_ptr<const Library> library, void* device);

    std::shared_ptr<const Library> library_;
    void* device_; // nvmlDevice_t, valid while the session is initialised
};

} // namespace trovimo
