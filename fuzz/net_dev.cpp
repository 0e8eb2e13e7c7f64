// /proc/net/dev lines.
#include "readers/KernelText.h"
#include "readers/NetworkStatsReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view line;
    while (trovimo::kerneltext::nextLine(text, line)) {
        if (const auto counters = trovimo::parseNetDevLine(line)) {
            if (counters->name.empty() || counters->name.data() < line.data() ||
                counters->name.data() + counters->name.size() > line.data() + line.size()) {
                std::abort();
            }
        }
    }
    return 0;
}
