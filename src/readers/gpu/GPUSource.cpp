#include "readers/gpu/GPUSource.h"

#include "readers/KernelText.h"

#include <algorithm>

namespace trovimo::gpu {

std::optional<std::int64_t> Context::readInteger(const std::string& path) {
    const auto text = file.read(path);
    return text ? kerneltext::parseSysfsInteger(*text) : std::nullopt;
}

bool Context::holds(const std::string& path, std::string_view value) {
    const auto text = file.read(path);
    return text && kerneltext::trimmed(*text) == value;
}

RuntimePower RuntimePower::of(const std::string& device, Context& context) {
    RuntimePower power;
    if (std::string status = device + "/power/runtime_status"; kerneltext::pathExists(status)) {
        power.statusPath = std::move(status);
    }
    power.managed = context.holds(device + "/power/control", "auto");
    return power;
}

bool RuntimePower::suspended(Context& context) const {
    return !statusPath.empty() && context.holds(statusPath, "suspended");
}

double percentToFraction(std::int64_t percent) noexcept {
    return std::clamp(static_cast<double>(percent) / 100.0, 0.0, 1.0);
}

} // namespace trovimo::gpu
