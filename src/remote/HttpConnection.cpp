#include "remote/HttpConnection.h"

#include "core/AppInfo.h"

#include <QUrl>

#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace trovimo {
namespace {

std::chrono::milliseconds left(HttpConnection::Deadline deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
}

// Waits until `fd` is ready for `events` or the deadline passed.
bool waitFor(int fd, short events, HttpConnection::Deadline deadline) {
    for (;;) {
        const auto remaining = left(deadline);
        if (remaining.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(remaining.count()));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

const char* failureText(HttpResponseParser::Failure failure) {
    switch (failure) {
    case HttpResponseParser::Failure::tooLarge:
        return "the response is larger than this program reads";
    case HttpResponseParser::Failure::truncated:
        return "the connection closed before the response was complete";
    case HttpResponseParser::Failure::malformed:
    case HttpResponseParser::Failure::none:
        break;
    }
    return "the response is not HTTP/1.1";
}

std::optional<HttpTarget> targetOfUrl(const QUrl& url) {
    const QString scheme = url.scheme();
    if (!url.isValid() || url.isRelative() || !url.userInfo().isEmpty() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return std::nullopt;
    }
    HttpTarget target;
    target.tls = scheme == QLatin1String("https");
    target.host = url.host(QUrl::FullyEncoded).toStdString();
    if (target.host.size() > 2 && target.host.front() == '[') {
        target.host = target.host.substr(1, target.host.size() - 2);
    }
    const int port = url.port(target.tls ? 443 : 80);
    if (port <= 0 || port > 65535) {
        return std::nullopt;
    }
    target.port = static_cast<std::uint16_t>(port);
    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    target.target = path.isEmpty() ? "/" : path.toStdString();
    if (url.hasQuery()) {
        target.target += "?" + url.query(QUrl::FullyEncoded).toStdString();
    }
    return target;
}

} // namespace

std::optional<HttpTarget> httpTargetOf(std::string_view url) {
    return targetOfUrl(
        QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::StrictMode));
}

std::optional<HttpTarget> redirectTarget(const HttpTarget& from, std::string_view location) {
    QUrl base;
    base.setScheme(from.tls ? QStringLiteral("https") : QStringLiteral("http"));
    base.setHost(QString::fromStdString(from.host));
    base.setPort(from.port);
    base.setPath(QString::fromStdString(from.target.substr(0, from.target.find('?'))),
                 QUrl::StrictMode);
    const QUrl next(QString::fromUtf8(location.data(), static_cast<qsizetype>(location.size())),
                    QUrl::StrictMode);
    if (!next.isValid()) {
        return std::nullopt;
    }
    return targetOfUrl(base.resolved(next));
}

HttpConnection::~HttpConnection() {
    close();
}

void HttpConnection::close() noexcept {
    tls_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    connectedTo_.reset();
}

bool HttpConnection::connect(const HttpTarget& target, Deadline deadline, std::string& problem) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(target.port);
    // The one step without a time limit: glibc's resolver gives up on its own (resolv.conf's
    // timeout and attempts).
    if (const int error = ::getaddrinfo(target.host.c_str(), port.c_str(), &hints, &found);
        error != 0) {
        problem = std::string("name lookup failed: ") + ::gai_strerror(error);
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    problem = "no address to connect to";
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                     address->ai_protocol);
        if (fd < 0) {
            problem = systemError("socket");
            continue;
        }
        int error = 0;
        if (::connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                socklen_t length = sizeof error;
                error = waitFor(fd, POLLOUT, deadline) &&
                                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0
                            ? error
                            : ETIMEDOUT;
            }
        }
        if (error != 0) {
            errno = error;
            problem = systemError("connect");
            ::close(fd);
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        fd_ = fd;
        reachedServer_ = true;
        break;
    }
    if (fd_ < 0) {
        return false;
    }
    if (target.tls) {
        std::string reason;
        const TlsLibrary* library = TlsLibrary::instance(reason);
        tls_ = library != nullptr ? library->open(fd_, target.host, reason) : nullptr;
        const bool shaken = tls_ && tls_->handshake(deadline, reason);
        // A handshake leaves much freed memory behind (certificates parsed, the transcript);
        // handed back to the system, it does not stay in the process as dirty pages. Once a
        // connection: the next GETs keep this one.
        ::malloc_trim(0);
        if (!shaken) {
            problem = "TLS: " + reason;
            close();
            return false;
        }
    }
    connectedTo_ = target;
    return true;
}

long HttpConnection::send(std::string_view bytes, Deadline deadline, std::string& problem) {
    if (tls_) {
        return tls_->write(bytes, deadline, problem);
    }
    for (;;) {
        const long sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            return sent;
        }
        if ((errno != EAGAIN && errno != EINTR) || !waitFor(fd_, POLLOUT, deadline)) {
            problem = errno == EAGAIN ? "timed out" : systemError("send");
            return -1;
        }
    }
}

long HttpConnection::receive(char* buffer, std::size_t size, Deadline deadline,
                             std::string& problem) {
    if (tls_) {
        return tls_->read(buffer, size, deadline, problem);
    }
    for (;;) {
        const long got = ::recv(fd_, buffer, size, 0);
        if (got >= 0) {
            return got;
        }
        if ((errno != EAGAIN && errno != EINTR) || !waitFor(fd_, POLLIN, deadline)) {
            problem = errno == EAGAIN ? "timed out" : systemError("recv");
            return -1;
        }
    }
}

bool HttpConnection::exchange(std::string_view request, Deadline deadline,
                              HttpResponseParser& response, std::string& problem,
                              bool& nothingCame) {
    nothingCame = true;
    while (!request.empty()) {
        const long sent = send(request, deadline, problem);
        if (sent <= 0) {
            return false;
        }
        request.remove_prefix(static_cast<std::size_t>(sent));
    }
    std::array<char, 16384> buffer;
    for (;;) {
        const long got = receive(buffer.data(), buffer.size(), deadline, problem);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            if (response.finishAtClose() == HttpResponseParser::State::done) {
                close();
                return true;
            }
            problem =
                nothingCame ? "the server closed the connection" : failureText(response.failure());
            return false;
        }
        nothingCame = false;
        const auto state =
            response.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        if (state == HttpResponseParser::State::failed) {
            problem = failureText(response.failure());
            return false;
        }
        if (state == HttpResponseParser::State::done) {
            if (!response.keepsAlive()) {
                close();
            }
            return true;
        }
    }
}

bool HttpConnection::get(const HttpTarget& target, std::string_view authorization,
                         Deadline deadline, HttpResponseParser& response, std::string& problem) {
    const bool ipv6 = target.host.find(':') != std::string::npos;
    request_.assign("GET ").append(target.target).append(" HTTP/1.1\r\nHost: ");
    request_.append(ipv6 ? "[" : "").append(target.host).append(ipv6 ? "]" : "");
    if (target.port != (target.tls ? 443 : 80)) {
        request_.append(":").append(std::to_string(target.port));
    }
    request_.append("\r\nUser-Agent: ").append(app::name).append("\r\nAccept: text/plain\r\n");
    if (!authorization.empty()) {
        request_.append("Authorization: ").append(authorization).append("\r\n");
    }
    request_.append("\r\n");

    const bool reused = fd_ >= 0 && connectedTo_ && connectedTo_->sameOrigin(target);
    reachedServer_ = false;
    if (!reused) {
        close();
        if (!connect(target, deadline, problem)) {
            return false;
        }
    }
    response.reset();
    bool nothingCame = false;
    if (exchange(request_, deadline, response, problem, nothingCame)) {
        reachedServer_ = true;
        return true;
    }
    reachedServer_ = reachedServer_ || !nothingCame;
    close();
    // A kept connection the server had already closed: once more on a new one.
    if (!reused || !nothingCame || left(deadline).count() <= 0) {
        return false;
    }
    if (!connect(target, deadline, problem)) {
        return false;
    }
    response.reset();
    if (exchange(request_, deadline, response, problem, nothingCame)) {
        return true;
    }
    close();
    return false;
}

} // namespace trovimo
