#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// An HTTP/1.1 response read as its bytes arrive: the status line and headers, then a body
// delimited by Content-Length, by chunks, or by the end of the connection. The body is bounded:
// past `maximumBody` bytes the response fails as too large, whatever its headers promised, and
// nothing more is kept. No I/O here; HttpConnection feeds it.
class HttpResponseParser {
public:
    enum class State { head, body, done, failed };
    enum class Failure { none, malformed, tooLarge, truncated };

    // Headers of a metrics endpoint are a few hundred bytes.
    static constexpr std::size_t maximumHead = 64 * 1024;

    explicit HttpResponseParser(std::size_t maximumBody) : maximumBody_(maximumBody) {}

    // Starts over for the next response on the same connection; the body's room is kept.
    void reset();

    // Takes the next bytes received. Bytes past the end of the response are not taken (an
    // HTTP/1.1 server sends nothing unasked).
    State feed(std::string_view bytes);
    // The connection ended: a body that runs to the end of the connection is complete, any
    // other is truncated.
    State finishAtClose();

    [[nodiscard]] State state() const noexcept { return state_; }
    [[nodiscard]] Failure failure() const noexcept { return failure_; }
    [[nodiscard]] int status() const noexcept { return status_; }
    // The connection may carry the next request: HTTP/1.1, no "Connection: close", and a body
    // that did not run to the end of the connection.
    [[nodiscard]] bool keepsAlive() const noexcept { return keepAlive_; }
    [[nodiscard]] const std::string& location() const noexcept { return location_; }
    [[nodiscard]] std::string& body() noexcept { return body_; }

private:
    enum class Framing { length, chunked, close };
    enum class ChunkStep { size, data, dataEnd, trailer };

    State fail(Failure failure);
    [[nodiscard]] bool parseHead(std::string_view head);
    // Moves body bytes from `bytes` on; returns how many were taken.
    std::size_t takeBody(std::string_view bytes);
    std::size_t takeChunked(std::string_view bytes);
    [[nodiscard]] bool appendBody(std::string_view bytes);

    std::size_t maximumBody_;
    State state_ = State::head;
    Failure failure_ = Failure::none;
    std::string head_;
    std::string body_;
    std::string line_; // a chunk-size or trailer line in the making
    int status_ = 0;
    bool keepAlive_ = false;
    std::string location_;
    Framing framing_ = Framing::close;
    std::uint64_t remaining_ = 0; // of the Content-Length, or of the current chunk
    ChunkStep chunkStep_ = ChunkStep::size;
    int trailerLines_ = 0;
};

} // namespace trovimo
