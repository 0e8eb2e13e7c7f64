#include "readers/GPUStatsReader.h"

#include "readers/KernelText.h"
#include "readers/gpu/AmdgpuSource.h"
#include "readers/gpu/IntelResidencySource.h"
#include "readers/gpu/KgslSource.h"
#include "readers/gpu/NvmlSource.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace trovimo {

namespace {

constexpr std::uint64_t pciVendorNvidia = 0x10de;
constexpr std::uint64_t pciVendorIntel = 0x8086;

// /sys/class/drm's cardN folders in card order: "card2" before "card10". Connectors
// ("card1-DP-1") and render nodes are no cards.
std::vector<std::string> drmCards(const std::string& drm) {
    std::vector<std::pair<std::uint64_t, std::string>> cards;
    for (const auto& name : kerneltext::entriesStartingWith(drm, "card")) {
        const auto number = kerneltext::numberAfterPrefix(name, "card");
        if (number && *number <= 0xffff) {
            cards.emplace_back(*number, drm + "/" + name);
        }
    }
    std::sort(cards.begin(), cards.end());
    std::vector<std::string> paths;
    paths.reserve(cards.size());
    for (auto& card : cards) {
        paths.push_back(std::move(card.second));
    }
    return paths;
}

} // namespace

GPUStatsReader::GPUStatsReader(std::string root, std::string nvmlLibrary, Clock clock)
    : root_(std::move(root)), nvmlLibrary_(std::move(nvmlLibrary)) {
    context_.clock = clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); };
}

GPUStatsReader::~GPUStatsReader() = default;

std::optional<double> GPUStatsReader::read() {
    if (!source_) {
        const auto now = context_.clock();
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
    const auto fraction = source_->read(context_);
    if (!fraction) {
        source_.reset(); // releases an NVML session; the next read searches again
    }
    return fraction;
}

std::shared_ptr<const NvmlSession::Library> GPUStatsReader::nvml() {
    if (!nvmlLoadTried_) {
        nvmlLoadTried_ = true;
        nvml_ = NvmlSession::load(nvmlLibrary_);
    }
    return nvml_;
}

std::unique_ptr<gpu::Source> GPUStatsReader::find() {
    unsigned nvidiaCards = 0;
    for (const auto& card : drmCards(kerneltext::pathUnderRoot(root_, "sys/class/drm"))) {
        if (auto source = findDrmCard(card, nvidiaCards)) {
            return source;
        }
    }
    if (auto kgsl = gpu::KgslSource::find(root_, context_)) {
        return kgsl;
    }
    if (nvidiaCards == 0 && nvml()) {
        return gpu::NvmlSource::firstAnswering(nvml_);
    }
    return nullptr;
}

std::unique_ptr<gpu::Source> GPUStatsReader::findDrmCard(const std::string& card,
                                                         unsigned& nvidiaCards) {
    const std::string device = card + "/device";
    const auto power = gpu::RuntimePower::of(device, context_);
    // Only the busy and residency files wake a card; vendor, control and status do not.
    const bool suspended = power.suspended(context_);
    std::uint64_t vendor = 0;
    if (const auto text = context_.file.read(device + "/vendor")) {
        vendor = kerneltext::parseSysfsUnsigned(*text).value_or(0);
    }
    if (kerneltext::pathExists(device + "/gpu_busy_percent")) {
        return gpu::AmdgpuSource::find(device, power, suspended, context_);
    }
    if (vendor == pciVendorNvidia) {
        const unsigned index = nvidiaCards++;
        return nvml() ? gpu::NvmlSource::forCard(nvml_, index, power, suspended) : nullptr;
    }
    if (vendor == pciVendorIntel) {
        return gpu::IntelResidencySource::find(card, power, suspended, context_);
    }
    return nullptr;
}

} // namespace trovimo
