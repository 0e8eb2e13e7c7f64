// /sys/block/zramN/mm_stat and /proc/spl/kstat/zfs/arcstats: the same bytes through both.
#include "readers/MemoryStatsReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static_cast<void>(trovimo::parseZramMemoryUsed(text));
    static_cast<void>(trovimo::parseArcSize(text));
    return 0;
}
