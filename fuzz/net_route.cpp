// The primary-interface parsers: /proc/net/route text and an rtnetlink RTM_GETROUTE reply.
#include "readers/RouteQuery.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto name = trovimo::parseDefaultRoute(text)) {
        // The name is a view into the table and never empty.
        if (name->empty() || name->data() < text.data() ||
            name->data() + name->size() > text.data() + text.size()) {
            std::abort();
        }
    }
    const std::uint32_t sequence = size > 0 ? data[0] : 0;
    (void)trovimo::parseRouteReply(std::span<const std::uint8_t>(data, size), sequence);
    return 0;
}
