#include "readers/gpu/KgslSource.h"

#include "readers/KernelText.h"

namespace trovimo::gpu {

std::optional<std::int64_t> parseKgslBusyPercent(std::string_view text) noexcept {
    text = kerneltext::trimmed(text);
    if (text.empty() || text.back() != '%') {
        return std::nullopt;
    }
    text.remove_suffix(1);
    return kerneltext::parseSysfsInteger(text);
}

std::unique_ptr<KgslSource> KgslSource::find(const std::string& root, Context& context) {
    std::string path =
        kerneltext::pathUnderRoot(root, "sys/class/kgsl/kgsl-3d0/gpu_busy_percentage");
    const auto text = context.file.read(path);
    if (!text || !parseKgslBusyPercent(*text)) {
        return nullptr;
    }
    return std::unique_ptr<KgslSource>(new KgslSource(std::move(path)));
}

std::optional<double> KgslSource::read(Context& context) {
    const auto text = context.file.read(path_);
    const auto percent = text ? parseKgslBusyPercent(*text) : std::nullopt;
    if (!percent) {
        return std::nullopt;
    }
    return percentToFraction(*percent);
}

} // namespace trovimo::gpu
