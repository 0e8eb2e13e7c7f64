#include "readers/gpu/IntelResidencySource.h"

#include "readers/Counters.h"
#include "readers/KernelText.h"

#include <algorithm>

namespace trovimo::gpu {
namespace {

using kerneltext::entriesStartingWith;

// The counter counts whole milliseconds; over a shorter span (the read right after discovery)
// an unchanged counter would read as fully busy.
constexpr std::chrono::milliseconds minimumSpan{100};

std::string residencyPath(const std::string& card) {
    const std::string gtFolder = card + "/gt";
    for (const auto& gt : entriesStartingWith(gtFolder, "gt")) {
        std::string path = gtFolder + "/" + gt + "/rc6_residency_ms";
        if (kerneltext::pathExists(path)) {
            return path;
        }
    }
    if (std::string legacy = card + "/power/rc6_residency_ms"; kerneltext::pathExists(legacy)) {
        return legacy;
    }
    const std::string device = card + "/device";
    for (const auto& tile : entriesStartingWith(device, "tile")) {
        const std::string tileFolder = device + "/" + tile;
        for (const auto& gt : entriesStartingWith(tileFolder, "gt")) {
            std::string path = tileFolder + "/" + gt + "/gtidle/idle_residency_ms";
            if (kerneltext::pathExists(path)) {
                return path;
            }
        }
    }
    return {};
}

std::optional<std::uint64_t> readCount(Context& context, const std::string& path) {
    const auto count = context.readInteger(path);
    if (!count || *count < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(*count);
}

} // namespace

std::optional<double> residencyBusyFraction(std::uint64_t previousIdleMs, std::uint64_t idleMs,
                                            std::chrono::nanoseconds elapsed) {
    const auto idle = wrapping32Delta(previousIdleMs, idleMs);
    const double elapsedMs = std::chrono::duration<double, std::milli>(elapsed).count();
    if (!idle || elapsedMs <= 0.0) {
        return std::nullopt;
    }
    return std::clamp(1.0 - static_cast<double>(*idle) / elapsedMs, 0.0, 1.0);
}

std::unique_ptr<IntelResidencySource> IntelResidencySource::find(const std::string& card,
                                                                 const RuntimePower& power,
                                                                 bool suspended, Context& context) {
    std::string path = residencyPath(card);
    if (path.empty()) {
        return nullptr;
    }
    std::unique_ptr<IntelResidencySource> source(new IntelResidencySource(std::move(path), power));
    if (!suspended) {
        source->previousIdleMs_ = readCount(context, source->counterPath_);
        if (!source->previousIdleMs_) {
            return nullptr;
        }
        source->previousTime_ = context.clock();
    }
    return source;
}

std::optional<double> IntelResidencySource::read(Context& context) {
    if (power_.suspended(context)) {
        previousIdleMs_.reset();
        return 0.0;
    }
    const auto idleMs = readCount(context, counterPath_);
    if (!idleMs) {
        return std::nullopt;
    }
    const auto now = context.clock();
    if (!previousIdleMs_) {
        // Just woke from a runtime suspend: it was idle until now.
        previousIdleMs_ = idleMs;
        previousTime_ = now;
        lastFraction_ = 0.0;
        return 0.0;
    }
    if (now - previousTime_ < minimumSpan) {
        return lastFraction_;
    }
    const auto fraction = residencyBusyFraction(*previousIdleMs_, *idleMs, now - previousTime_);
    if (!fraction) {
        return std::nullopt;
    }
    previousIdleMs_ = idleMs;
    previousTime_ = now;
    lastFraction_ = *fraction;
    return fraction;
}

} // namespace trovimo::gpu
