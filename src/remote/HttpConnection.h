#pragma once

#include "remote/HttpResponseParser.h"
#include "remote/TlsLibrary.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// Where a GET goes: scheme, host, port and the request target (path and query), as taken
// apart from a URL that passed the machine checks.
struct HttpTarget {
    bool tls = false;
    std::string host; // a name, or an address without brackets
    std::uint16_t port = 0;
    std::string target; // "/metrics?collect%5B%5D=cpu"

    // The same scheme, host and port: the origin a credential is sent to.
    [[nodiscard]] bool sameOrigin(const HttpTarget& other) const noexcept {
        return tls == other.tls && host == other.host && port == other.port;
    }
};

// An absolute http(s) URL taken apart; absent for any other (a credential in it included).
[[nodiscard]] std::optional<HttpTarget> httpTargetOf(std::string_view url);
// A Location header's URL against the target it answered; absent when unusable.
[[nodiscard]] std::optional<HttpTarget> redirectTarget(const HttpTarget& from,
                                                       std::string_view location);

// A blocking HTTP/1.1 client for one server at a time, for a worker thread: every step (name
// lookup excepted, which has no time limit to give) ends by the deadline. The connection is
// kept for the next GET when the server allows it, and opened again when the next GET goes
// elsewhere or the kept one turns out closed.
class HttpConnection {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    HttpConnection() = default;
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Sends the GET and reads the answer into `response` (reset first). false with a one-line
    // reason in `problem` when no complete answer came; a complete answer with any status is
    // true.
    [[nodiscard]] bool get(const HttpTarget& target, std::string_view authorization,
                           Deadline deadline, HttpResponseParser& response, std::string& problem);

    void close() noexcept;

    // Whether the last GET reached the server: a connection was opened, or a kept one carried
    // an answer. A GET that failed without reaching it (no such name, refused, no route, no
    // answer to the connection) tells that the machine or its exporter is down.
    [[nodiscard]] bool reachedServer() const noexcept { return reachedServer_; }

private:
    [[nodiscard]] bool connect(const HttpTarget& target, Deadline deadline, std::string& problem);
    [[nodiscard]] bool exchange(std::string_view request, Deadline deadline,
                                HttpResponseParser& response, std::string& problem,
                                bool& nothingCame);
    [[nodiscard]] long send(std::string_view bytes, Deadline deadline, std::string& problem);
    [[nodiscard]] long receive(char* buffer, std::size_t size, Deadline deadline,
                               std::string& problem);

    int fd_ = -1;
    std::unique_ptr<TlsLibrary::Session> tls_;
    std::optional<HttpTarget> connectedTo_;
    std::string request_; // reused
    bool reachedServer_ = false;
};

} // namespace trovimo
