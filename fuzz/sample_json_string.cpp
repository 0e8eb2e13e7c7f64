// JSON string escaping of arbitrary bytes (network names are any 32 bytes): the output must
// be valid UTF-8 with no raw control characters.
#include "tools/SampleJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool validUtf8WithoutControls(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
        std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (c >= 0x80 && (c < 0xC2 || c > 0xF4)) {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string out;
    trovimo::appendJsonString(out, std::string_view(reinterpret_cast<const char*>(data), size));
    if (out.size() < 2 || out.front() != '"' || out.back() != '"' ||
        !validUtf8WithoutControls(out)) {
        std::abort();
    }
    return 0;
}
