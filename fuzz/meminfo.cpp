// /proc/meminfo and the memory figures built from it.
#include "readers/MemoryStatsReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto figures = trovimo::parseMeminfo(text)) {
        const auto stats = trovimo::memoryStatsFrom(*figures, size, size, std::nullopt);
        if (stats.total == 0 || stats.swapUsed > stats.swapTotal) {
            std::abort();
        }
    }
    return 0;
}
