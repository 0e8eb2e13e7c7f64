// /proc/diskstats lines: a parsed name lies within its line.
#include "readers/DiskActivityReader.h"
#include "readers/KernelText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view line;
    while (trovimo::kerneltext::nextLine(text, line)) {
        const auto counters = trovimo::parseDiskstatsLine(line);
        if (counters && (counters->name.empty() || counters->name.data() < line.data() ||
                         counters->name.end() > line.end())) {
            std::abort();
        }
    }
    return 0;
}
