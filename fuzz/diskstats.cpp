// /proc/diskstats lines.
#include "readers/DiskActivityReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (const auto counters = trovimo::parseDiskstatsLine(line)) {
            if (counters->name.empty() || counters->name.data() < line.data() ||
                counters->name.data() + counters->name.size() > line.data() + line.size()) {
                std::abort();
            }
        }
    }
    return 0;
}
