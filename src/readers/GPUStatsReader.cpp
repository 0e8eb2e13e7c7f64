#include "readers/GPUStatsReader.h"

#include "readers/DeviceFile.h"

#include <algorithm>
#include <vector>

namespace trovimo {

namespace {

constexpr std::uint64_t pciVendorNvidia = 0x10de;
constexpr std::uint64_t pciVendorIntel = 0x8086;
constexpr std::chrono::milliseconds minimumResidencySpan{100};

// "card0", "card12": a DRM device. Connectors ("card1-DP-1") and render nodes are not.
std::optional<unsigned> cardNumber(std::string_view name) {
    if (!name.starts_with("card") || name.size() == 4) {
        return std::nullopt;
    }
    name.remove_prefix(4);
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto number = parseSysfsUnsigned(name);
    if (!number || *number > 0xffff) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*number);
}

// Intel's idle residency file of a card: i915 per GT (gt0 is the render GT), i915 before 5.18
// per card, xe per tile and GT.
std::string intelResidencyPath(const std::string& card) {
    const std::string gtFolder = card + "/gt";
    for (const auto& gt : entriesStartingWith(gtFolder, "gt")) {
        std::string path = gtFolder + "/" + gt + "/rc6_residency_ms";
        if (deviceFileExists(path)) {
            return path;
        }
    }
    if (std::string legacy = card + "/power/rc6_residency_ms"; deviceFileExists(legacy)) {
        return legacy;
    }
    const std::string device = card + "/device";
    for (const auto& tile : entriesStartingWith(device, "tile")) {
        const std::string tileFolder = device + "/" + tile;
        for (const auto& gt : entriesStartingWith(tileFolder, "gt")) {
            std::string path = tileFolder + "/" + gt + "/gtidle/idle_residency_ms";
            if (deviceFileExists(path)) {
                return path;
            }
        }
    }
    return {};
}

} // namespace

struct GPUStatsReader::Source {
    enum class Kind { busyPercent, kgslPercent, idleResidency, nvml };
    using TimePoint = std::chrono::steady_clock::time_point;

    Kind kind = Kind::busyPercent;
    std::string valuePath;         // the busy or residency file
    std::string runtimeStatusPath; // the card's device/power/runtime_status; empty when none
    bool runtimePowerManaged = false;

    // Intel idle residency: the previous counter reading.
    std::optional<std::uint64_t> previousIdleMs;
    TimePoint previousTime{};
    double lastFraction = 0.0;

    // NVML.
    unsigned nvmlIndex = 0;
    std::unique_ptr<NvmlSession> session;
    std::optional<TimePoint> zeroSince;
    std::optional<TimePoint> releasedAt;
    bool suspendedSinceRelease = false;
};

std::optional<double> residencyBusyFraction(std::uint64_t previousIdleMs, std::uint64_t idleMs,
                                            std::chrono::nanoseconds elapsed) {
    constexpr std::uint64_t wrap = std::uint64_t{1} << 32;
    std::uint64_t idle = 0;
    if (idleMs >= previousIdleMs) {
        idle = idleMs - previousIdleMs;
    } else if (previousIdleMs < wrap && idleMs < wrap) {
        idle = idleMs + wrap - previousIdleMs;
    } else {
        return std::nullopt;
    }
    const double elapsedMs = std::chrono::duration<double, std::milli>(elapsed).count();
    if (elapsedMs <= 0.0) {
        return std::nullopt;
    }
    return std::clamp(1.0 - static_cast<double>(idle) / elapsedMs, 0.0, 1.0);
}

GPUStatsReader::GPUStatsReader(std::string root, std::string nvmlLibrary, Clock clock)
    : root_(std::move(root)), nvmlLibrary_(std::move(nvmlLibrary)), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] { return std::chrono::steady_clock::now(); };
    }
}

GPUStatsReader::~GPUStatsReader() = default;

std::optional<double> GPUStatsReader::read() {
    if (!source_) {
        const auto now = clock_();
        if (lastFruitlessSearch_ && now >= *lastFruitlessSearch_ &&
            now - *lastFruitlessSearch_ < searchSpacing) {
            return std::nullopt;
        }
        source_ = find();
        if (!source_) {
            lastFruitlessSearch_ = now;
            return std::nullopt;
        }
        lastFruitlessSearch_.reset();
    }
    const auto fraction = readSource(*source_);
    if (!fraction) {
        source_.reset(); // releases an NVML session; the next read searches again
    }
    return fraction;
}

std::optional<std::int64_t> GPUStatsReader::readInteger(const std::string& path) {
    const auto text = file_.read(path);
    return text ? parseSysfsInteger(*text) : std::nullopt;
}

std::shared_ptr<const NvmlSession::Library> GPUStatsReader::nvml() {
    if (!nvmlLoadTried_) {
        nvmlLoadTried_ = true;
        nvml_ = NvmlSession::load(nvmlLibrary_);
    }
    return nvml_;
}

bool GPUStatsReader::isSuspended(const Source& source) {
    if (source.runtimeStatusPath.empty()) {
        return false;
    }
    const auto status = file_.read(source.runtimeStatusPath);
    return status && trimmedText(*status) == "suspended";
}

std::unique_ptr<GPUStatsReader::Source> GPUStatsReader::find() {
    const std::string drm = rootedPath(root_, "/sys/class/drm");
    std::vector<std::pair<unsigned, std::string>> cards;
    for (auto& name : entriesStartingWith(drm, "card")) {
        if (const auto number = cardNumber(name)) {
            cards.emplace_back(*number, drm + "/" + name);
        }
    }
    std::sort(cards.begin(), cards.end());
    unsigned nvidiaCards = 0;
    for (const auto& card : cards) {
        if (auto source = findDrmCard(card.second, nvidiaCards)) {
            return source;
        }
    }

    const std::string kgsl = rootedPath(root_, "/sys/class/kgsl/kgsl-3d0/gpu_busy_percentage");
    if (const auto text = file_.read(kgsl); text && parseKgslBusyPercent(*text)) {
        auto source = std::make_unique<Source>();
        source->kind = Source::Kind::kgslPercent;
        source->valuePath = kgsl;
        return source;
    }

    // Without nvidia-drm the NVIDIA driver makes no DRM card; NVML still knows the devices.
    if (nvidiaCards == 0 && nvml()) {
        for (unsigned index = 0;; ++index) {
            auto opened = NvmlSession::open(nvml_, index);
            if (opened.session && opened.session->utilizationPercent()) {
                auto source = std::make_unique<Source>();
                source->kind = Source::Kind::nvml;
                source->nvmlIndex = index;
                source->session = std::move(opened.session);
                return source;
            }
            if (index + 1 >= opened.deviceCount) {
                break;
            }
        }
    }
    return nullptr;
}

std::unique_ptr<GPUStatsReader::Source> GPUStatsReader::findDrmCard(const std::string& card,
                                                                    unsigned& nvidiaCards) {
    const std::string device = card + "/device";
    auto source = std::make_unique<Source>();
    if (std::string status = device + "/power/runtime_status"; deviceFileExists(status)) {
        source->runtimeStatusPath = std::move(status);
    }
    const auto control = file_.read(device + "/power/control");
    source->runtimePowerManaged = control && trimmedText(*control) == "auto";
    // Only the busy and residency files wake a card; vendor, control and status do not.
    const bool suspended = isSuspended(*source);
    std::uint64_t vendor = 0;
    if (const auto text = file_.read(device + "/vendor")) {
        vendor = parseSysfsUnsigned(*text).value_or(0);
    }

    if (std::string busy = device + "/gpu_busy_percent"; deviceFileExists(busy)) {
        if (!suspended && !readInteger(busy)) {
            return nullptr;
        }
        source->kind = Source::Kind::busyPercent;
        source->valuePath = std::move(busy);
        return source;
    }

    if (vendor == pciVendorNvidia) {
        // NVML numbers devices in PCI order, as the kernel probes the cards.
        const unsigned index = nvidiaCards++;
        if (!nvml()) {
            return nullptr;
        }
        source->kind = Source::Kind::nvml;
        source->nvmlIndex = index;
        if (suspended) {
            return source; // opened once the card wakes up; opening it now would wake it
        }
        auto opened = NvmlSession::open(nvml_, index);
        if (!opened.session || !opened.session->utilizationPercent()) {
            return nullptr;
        }
        source->session = std::move(opened.session);
        return source;
    }

    if (vendor == pciVendorIntel) {
        std::string residency = intelResidencyPath(card);
        if (residency.empty()) {
            return nullptr;
        }
        source->kind = Source::Kind::idleResidency;
        source->valuePath = std::move(residency);
        if (!suspended) {
            // Primed now, so that the first read after discovery has a value.
            const auto idleMs = readInteger(source->valuePath);
            if (!idleMs || *idleMs < 0) {
                return nullptr;
            }
            source->previousIdleMs = static_cast<std::uint64_t>(*idleMs);
            source->previousTime = clock_();
        }
        return source;
    }
    return nullptr;
}

std::optional<double> GPUStatsReader::readSource(Source& source) {
    if (isSuspended(source)) {
        source.suspendedSinceRelease = true;
        // The residency counter stands still while the card sleeps; a delta across the sleep
        // would read as busy.
        source.previousIdleMs.reset();
        return 0.0;
    }
    switch (source.kind) {
    case Source::Kind::busyPercent:
        if (const auto percent = readInteger(source.valuePath)) {
            return percentToFraction(*percent);
        }
        return std::nullopt;
    case Source::Kind::kgslPercent:
        if (const auto text = file_.read(source.valuePath); !text) {
            return std::nullopt;
        } else if (const auto percent = parseKgslBusyPercent(*text)) {
            return percentToFraction(*percent);
        }
        return std::nullopt;
    case Source::Kind::idleResidency:
        return readResidency(source);
    case Source::Kind::nvml:
        return readNvml(source);
    }
    return std::nullopt;
}

std::optional<double> GPUStatsReader::readResidency(Source& source) {
    const auto idleMs = readInteger(source.valuePath);
    if (!idleMs || *idleMs < 0) {
        return std::nullopt;
    }
    const auto now = clock_();
    const auto current = static_cast<std::uint64_t>(*idleMs);
    if (!source.previousIdleMs) {
        // Just woke from a runtime suspend: it was idle until now.
        source.previousIdleMs = current;
        source.previousTime = now;
        source.lastFraction = 0.0;
        return 0.0;
    }
    // The counter counts whole milliseconds; over a very short span (the read right after
    // discovery) an unchanged counter would read as fully busy.
    if (now - source.previousTime < minimumResidencySpan) {
        return source.lastFraction;
    }
    const auto fraction =
        residencyBusyFraction(*source.previousIdleMs, current, now - source.previousTime);
    if (!fraction) {
        return std::nullopt;
    }
    source.previousIdleMs = current;
    source.previousTime = now;
    source.lastFraction = *fraction;
    return fraction;
}

std::optional<double> GPUStatsReader::readNvml(Source& source) {
    const auto now = clock_();
    if (!source.session) {
        if (source.runtimePowerManaged && source.releasedAt && !source.suspendedSinceRelease &&
            now - *source.releasedAt < nvmlReopenGrace) {
            return 0.0; // released while idle, waiting for the card to suspend
        }
        auto opened = NvmlSession::open(nvml_, source.nvmlIndex);
        if (!opened.session) {
            return std::nullopt;
        }
        source.session = std::move(opened.session);
        source.releasedAt.reset();
        source.zeroSince.reset();
        source.suspendedSinceRelease = false;
    }
    const auto percent = source.session->utilizationPercent();
    if (!percent) {
        return std::nullopt;
    }
    if (source.runtimePowerManaged) {
        // The open session keeps the card awake: let go of it once the card has idled a while.
        if (*percent != 0) {
            source.zeroSince.reset();
        } else if (!source.zeroSince) {
            source.zeroSince = now;
        } else if (now - *source.zeroSince >= nvmlIdleRelease) {
            source.session.reset();
            source.releasedAt = now;
            source.zeroSince.reset();
            source.suspendedSinceRelease = false;
        }
    }
    return percentToFraction(*percent);
}

} // namespace trovimo
