// An HTTP/1.1 response as a server might send it, whole or in pieces: the parser must stay
// within its body limit and never report a body it did not finish.
#include "remote/HttpResponseParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using trovimo::HttpResponseParser;
    if (size == 0) {
        return 0;
    }
    // The first byte says how the rest arrives: in pieces of that many bytes.
    const std::size_t piece = 1 + data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    constexpr std::size_t limit = 512;
    HttpResponseParser parser(limit);
    HttpResponseParser::State state = HttpResponseParser::State::head;
    for (std::size_t at = 0; at < bytes.size() && state != HttpResponseParser::State::failed;
         at += piece) {
        state = parser.feed(bytes.substr(at, piece));
        if (parser.body().size() > limit) {
            std::abort();
        }
    }
    state = parser.finishAtClose();
    if (state == HttpResponseParser::State::done &&
        (parser.status() < 100 || parser.status() > 599)) {
        std::abort();
    }
    return 0;
}
