#pragma once

#include "readers/gpu/GPUSource.h"
#include "readers/gpu/NvmlSession.h"

#include <memory>

namespace trovimo::gpu {

// An NVIDIA GPU through NVML. An open session keeps the card awake, so on a card with runtime
// power management the session is let go of once the GPU has idled `idleRelease`; the card
// then has `reopenGrace` to suspend before it is opened again while still awake (something
// else keeps it awake then, and our session costs nothing). A suspended card answers 0 and is
// not opened.
class NvmlSource final : public Source {
public:
    using Library = std::shared_ptr<const NvmlSession::Library>;

    static constexpr std::chrono::seconds idleRelease{10};
    static constexpr std::chrono::seconds reopenGrace{30};

    // Device `index` in NVML's numbering, which is PCI order as the kernel probes the cards. A
    // suspended card is opened once it wakes; absent when the awake card does not answer.
    [[nodiscard]] static std::unique_ptr<NvmlSource> forCard(Library library, unsigned index,
                                                             RuntimePower power, bool suspended);

    // The first device that answers, for machines whose NVIDIA driver makes no DRM card (no
    // nvidia-drm module); devices that refuse us are passed over.
    [[nodiscard]] static std::unique_ptr<NvmlSource> firstAnswering(const Library& library);

    [[nodiscard]] std::optional<double> read(Context& context) override;

private:
    NvmlSource(Library library, unsigned index, RuntimePower power)
        : library_(std::move(library)), index_(index), power_(std::move(power)) {}

    Library library_;
    unsigned index_;
    RuntimePower power_;
    std::unique_ptr<NvmlSession> session_;
    std::optional<TimePoint> zeroSince_;
    std::optional<TimePoint> releasedAt_;
    bool suspendedSinceRelease_ = false;
};

} // namespace trovimo::gpu
