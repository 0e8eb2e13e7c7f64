// /proc/stat: the cpuN lines, and the load between two of them.
#include "readers/CPUStatsReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first half against the whole, so the merge by core number meets odd pairs too.
    const auto previous = trovimo::parseProcStat(text.substr(0, size / 2));
    const auto current = trovimo::parseProcStat(text);
    if (previous && current) {
        if (const auto load = trovimo::cpuLoadBetween(*previous, *current)) {
            if (load->perCore.empty() || !(load->total >= 0.0 && load->total <= 1.0)) {
                std::abort();
            }
            for (const double fraction : load->perCore) {
                if (!(fraction >= 0.0 && fraction <= 1.0)) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
