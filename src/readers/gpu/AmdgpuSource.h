#pragma once

#include "readers/gpu/GPUSource.h"

#include <memory>

namespace trovimo::gpu {

// amdgpu's device/gpu_busy_percent, the driver's own busy figure. A suspended card answers 0
// without the file being read.
class AmdgpuSource final : public Source {
public:
    AmdgpuSource(std::string busyPath, RuntimePower power)
        : busyPath_(std::move(busyPath)), power_(std::move(power)) {}

    // The source of a card whose `device` folder has the file. Absent when, while the card is
    // awake, the file holds no number; a suspended card is taken on trust, since reading the
    // file to check it would wake the card.
    [[nodiscard]] static std::unique_ptr<AmdgpuSource>
    find(const std::string& device, const RuntimePower& power, bool suspended, Context& context);

    [[nodiscard]] std::optional<double> read(Context& context) override;

private:
    std::string busyPath_;
    RuntimePower power_;
};

} // namespace trovimo::gpu
