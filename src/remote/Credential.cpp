#include "remote/Credential.h"

#include <QByteArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace trovimo {
namespace {

constexpr std::size_t largestFile = 4096;

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

bool isTokenCharacter(char c) noexcept {
    // RFC 6750's b64token.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~+/=").find(c) != std::string_view::npos;
}

} // namespace

std::optional<std::string> authorizationFor(std::string_view secret) {
    if (secret.empty() || std::any_of(secret.begin(), secret.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        })) {
        return std::nullopt;
    }
    if (secret.find(':') != std::string_view::npos) {
        const QByteArray encoded =
            QByteArray(secret.data(), static_cast<qsizetype>(secret.size())).toBase64();
        return "Basic " + encoded.toStdString();
    }
    if (!std::all_of(secret.begin(), secret.end(), isTokenCharacter)) {
        return std::nullopt;
    }
    return "Bearer " + std::string(secret);
}

std::optional<std::string> readCredential(const std::string& path, std::string& problem,
                                          CredentialFault* fault) {
    const auto refuse = [&](CredentialFault why) {
        if (fault != nullptr) {
            *fault = why;
        }
        return std::nullopt;
    };
    // Non-blocking, so that a FIFO in its place does not hang the read; no link followed.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        problem = std::string("cannot open the credential file: ") + std::strerror(errno);
        return refuse(CredentialFault::unreadable);
    }
    const FileCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = "the credential file is not a regular file";
        return refuse(CredentialFault::notRegularFile);
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        problem = "the credential file must belong to this user and be readable by nobody "
                  "else (chmod 600)";
        return refuse(CredentialFault::notPrivate);
    }
    std::array<char, largestFile + 1> buffer;
    std::size_t size = 0;
    for (;;) {
        const long got = ::read(fd, buffer.data() + size, buffer.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = std::string("cannot read the credential file: ") + std::strerror(errno);
            return refuse(CredentialFault::unreadable);
        }
        size += static_cast<std::size_t>(got);
        if (got == 0 || size == buffer.size()) {
            break;
        }
    }
    std::string_view secret(buffer.data(), size);
    if (secret.ends_with('\n')) {
        secret.remove_suffix(secret.ends_with("\r\n") ? 2 : 1);
    }
    auto authorization = size <= largestFile ? authorizationFor(secret) : std::nullopt;
    std::fill(buffer.begin(), buffer.end(), '\0');
    if (!authorization) {
        problem = "the credential file must hold one token or user:password on one line";
        return refuse(CredentialFault::notOneSecret);
    }
    return authorization;
}

} // namespace trovimo
