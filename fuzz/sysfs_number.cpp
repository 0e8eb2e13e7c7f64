// The one-number sysfs files: decimal, hex (vendor, flags) and kgsl's "NN %".
#include "readers/KernelText.h"
#include "readers/gpu/KgslSource.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto integer = trovimo::kerneltext::parseSysfsInteger(text);
    (void)trovimo::kerneltext::parseSysfsUnsigned(text);
    const auto kgsl = trovimo::gpu::parseKgslBusyPercent(text);
    for (const auto& percent : {integer, kgsl}) {
        if (percent) {
            const double fraction = trovimo::gpu::percentToFraction(*percent);
            if (!(fraction >= 0.0 && fraction <= 1.0)) {
                std::abort();
            }
        }
    }
    return 0;
}
