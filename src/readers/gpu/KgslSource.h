#pragma once

#include "readers/gpu/GPUSource.h"

#include <memory>
#include <string_view>

namespace trovimo::gpu {

// Qualcomm's /sys/class/kgsl/kgsl-3d0/gpu_busy_percentage. The driver manages the GPU's power
// itself and the file does not wake it: no rule of our own.
class KgslSource final : public Source {
public:
    // Absent when the file is missing or holds no percentage.
    [[nodiscard]] static std::unique_ptr<KgslSource> find(const std::string& root,
                                                          Context& context);

    [[nodiscard]] std::optional<double> read(Context& context) override;

private:
    explicit KgslSource(std::string path) : path_(std::move(path)) {}

    std::string path_;
};

// The file's "37 %\n".
[[nodiscard]] std::optional<std::int64_t> parseKgslBusyPercent(std::string_view text) noexcept;

} // namespace trovimo::gpu
