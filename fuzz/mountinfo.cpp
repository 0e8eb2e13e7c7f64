// /proc/self/mountinfo: each line, and the mount over a home directory.
#include "readers/DiskActivityReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto mount = trovimo::mountOver(text, "/home/ada")) {
        // Unescaping only shortens; the mount point lies above the path.
        if (mount->mountPoint.empty() || mount->mountPoint.size() > size ||
            (mount->mountPoint != "/" &&
             !std::string_view("/home/ada").starts_with(mount->mountPoint))) {
            std::abort();
        }
    }
    return 0;
}
