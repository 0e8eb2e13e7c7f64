#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace trovimo {

struct TlsFunctions;

// OpenSSL's libssl.so.3, loaded the first time a machine is read over https and kept to the
// end of the process: a panel that reads no https machine never maps it. Peers are verified
// against the system's certificates (or SSL_CERT_FILE / SSL_CERT_DIR where set) and by host
// name or address; a peer that fails is refused, never let through.
class TlsLibrary {
public:
    // The library, loaded on first use; null when it cannot be (`problem` says why). Safe to
    // call from several threads.
    static const TlsLibrary* instance(std::string& problem);

    ~TlsLibrary();
    TlsLibrary(const TlsLibrary&) = delete;
    TlsLibrary& operator=(const TlsLibrary&) = delete;

    class Session;
    // A client session over the connected, non-blocking socket `fd` to `host` (a name or an
    // address literal); the handshake has not started.
    [[nodiscard]] std::unique_ptr<Session> open(int fd, const std::string& host,
                                                std::string& problem) const;

private:
    TlsLibrary() = default;
    std::unique_ptr<TlsFunctions> functions_;
    void* context_ = nullptr; // SSL_CTX, shared by every session
};

// One TLS connection. Each call goes on until it is done, the peer closed, or `deadline` passed.
class TlsLibrary::Session {
public:
    using Deadline = std::chrono::steady_clock::time_point;

    Session(const TlsFunctions& functions, void* ssl, int fd) noexcept
        : functions_(functions), ssl_(ssl), fd_(fd) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // false with the reason in `problem`: a certificate that does not verify, a protocol error.
    [[nodiscard]] bool handshake(Deadline deadline, std::string& problem);
    // Bytes written or read; 0 when the peer closed; -1 on an error or at the deadline.
    [[nodiscard]] long write(std::string_view bytes, Deadline deadline, std::string& problem);
    [[nodiscard]] long read(char* buffer, std::size_t size, Deadline deadline,
                            std::string& problem);

private:
    // Waits for what OpenSSL asked for after `result`; false when it was an error.
    [[nodiscard]] bool waitAfter(int result, Deadline deadline, std::string& problem);

    const TlsFunctions& functions_;
    void* ssl_;
    int fd_;
};

} // namespace trovimo
