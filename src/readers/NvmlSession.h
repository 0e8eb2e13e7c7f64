#pragma once

#include <memory>
#include <optional>
#include <string>

namespace trovimo {

// One initialised session with NVIDIA's management library (NVML) for one device. The library
// is loaded with dlopen, so the program runs where the NVIDIA driver is absent; the session
// calls nvmlShutdown and unloads the library when it goes away.
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

    struct Opened {
        std::unique_ptr<NvmlSession> session; // null when the device did not answer
        unsigned deviceCount = 0;             // what nvmlDeviceGetCount_v2 said (0 on failure)
        bool libraryLoaded = false;           // false: dlopen found no such library
    };

    // Loads `library`, initialises NVML and takes device `index`. Absent session when the
    // library or one of its functions is missing, initialisation fails, or the index is out
    // of range or refused.
    [[nodiscard]] static Opened open(const std::string& library, unsigned index);

    // Whether dlopen finds `library` at all (touches no device).
    [[nodiscard]] static bool libraryLoads(const std::string& library);

    // The device's utilisation in percent over the driver's last sample period; absent on any
    // error (GPU lost, reset required, driver gone, library/driver mismatch...).
    [[nodiscard]] std::optional<unsigned> utilizationPercent() const;

    NvmlSession(const NvmlSession&) = delete;
    NvmlSession& operator=(const NvmlSession&) = delete;
    ~NvmlSession();

private:
    struct Library;
    explicit NvmlSession(std::unique_ptr<Library> library);

    std::unique_ptr<Library> library_;
    void* device_ = nullptr; // nvmlDevice_t, valid while the session is initialised
};

} // namespace trovimo
