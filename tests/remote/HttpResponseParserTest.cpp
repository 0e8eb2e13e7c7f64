#include "remote/HttpResponseParser.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace trovimo {
namespace {

using State = HttpResponseParser::State;
using Failure = HttpResponseParser::Failure;

// Feeds `bytes` one byte at a time when `trickle`, else at once; then the end of the
// connection when `closes`. The state and the body, or the failure.
std::string outcome(std::string_view bytes, bool trickle, bool closes, std::size_t limit = 64) {
    HttpResponseParser parser(limit);
    State state = State::head;
    for (std::size_t at = 0; at < bytes.size() && state != State::failed;
         at += trickle ? 1 : bytes.size()) {
        state = parser.feed(bytes.substr(at, trickle ? 1 : bytes.size()));
    }
    if (closes) {
        state = parser.finishAtClose();
    }
    switch (state) {
    case State::done:
        return std::to_string(parser.status()) + (parser.keepsAlive() ? " kept " : " closed ") +
               parser.body();
    case State::failed:
        return parser.failure() == Failure::tooLarge    ? "too large"
               : parser.failure() == Failure::truncated ? "truncated"
                                                        : "malformed";
    default:
        return "waiting";
    }
}

TEST(HttpResponseParser, FramesTheBodyAsTheHeadersSay) {
    const std::tuple<std::string_view, bool, std::string_view> cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, "200 kept hello"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5;x=y\r\nhello\r\n3\r\n th\r\n0\r\nTrailer: z\r\n\r\n",
         false, "200 kept hello th"},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end", true,
         "200 closed until the end"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", false, "200 closed ok"},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n", false, "204 kept "},
        {"HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", false, "302 kept "},
        // What a server could send to do harm or by mistake.
        {"HTTP/1.1 200 OK\r\nContent-Length: 65\r\n\r\n", false, "too large"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffff\r\n", false,
         "too large"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello", false,
         "malformed"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", false, "malformed"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, "malformed"},
        {"HTTP/1.1 200 OK\r\n folded: line\r\n\r\n", false, "malformed"},
        {"HTTP/2 200\r\n\r\n", false, "malformed"},
        {"\x16\x03\x01\x02\xa5\x01\x06\x01\xfc\x03\x03\r\n\r\n", false, "malformed"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", true, "truncated"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", true, "truncated"},
    };
    for (const auto& [bytes, closes, expected] : cases) {
        for (const bool trickle : {false, true}) {
            EXPECT_EQ(outcome(bytes, trickle, closes), expected)
                << bytes << " trickled " << trickle;
        }
    }
}

// A body that never ends is cut at the limit, and a head that never ends at its own.
TEST(HttpResponseParser, EndlessAnswersStopAtTheirLimits) {
    const std::string endless =
        "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(1000, 'x');
    EXPECT_EQ(outcome(endless, false, false, 999), "too large");
    EXPECT_EQ(outcome("HTTP/1.1 200 OK\r\nX: " + std::string(70'000, 'h'), false, false),
              "malformed");
    std::string chunks = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int index = 0; index < 40; ++index) {
        chunks += "2\r\nab\r\n";
    }
    EXPECT_EQ(outcome(chunks, true, false), "too large");
}

} // namespace
} // namespace trovimo
