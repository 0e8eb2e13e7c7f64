#include "readers/gpu/AmdgpuSource.h"

namespace trovimo::gpu {

std::unique_ptr<AmdgpuSource> AmdgpuSource::find(const std::string& device,
                                                 const RuntimePower& power, bool suspended,
                                                 Context& context) {
    std::string busy = device + "/gpu_busy_percent";
    if (!suspended && !context.readInteger(busy)) {
        return nullptr;
    }
    return std::make_unique<AmdgpuSource>(std::move(busy), power);
}

std::optional<double> AmdgpuSource::read(Context& context) {
    if (power_.suspended(context)) {
        return 0.0;
    }
    if (const auto percent = context.readInteger(busyPath_)) {
        return percentToFraction(*percent);
    }
    return std::nullopt;
}

} // namespace trovimo::gpu
