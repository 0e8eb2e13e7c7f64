#include "app/SingleInstance.h"

#include "core/SystemLog.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace trovimo {
namespace {

// Keeps the socket's path well inside sockaddr_un's 108 bytes.
constexpr std::size_t maximumKeyLength = 48;
constexpr int pendingRequests = 8;

QString errorText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Owned by us and closed to everyone else, as XDG_RUNTIME_DIR is required to be. Under
// /tmp a symbolic link planted by someone else must not count, hence lstat there.
bool isPrivateDirectory(const std::string& path, bool followLinks) {
    struct stat status {};
    const int result = followLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    return result == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & 077) == 0;
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool isKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '.' || c == '-' || c == '_';
}

} // namespace

SingleInstance::SingleInstance(std::string_view display, std::string runtimeDirectory,
                               QObject* parent)
    : QObject(parent), runtimeDirectory_(std::move(runtimeDirectory)), key_(displayKey(display)) {
    if (runtimeDirectory_.empty()) {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
            runtimeDirectory_ = runtime;
        }
    }
}

SingleInstance::~SingleInstance() {
    stopListening();
}

void SingleInstance::keyByMachine(std::string_view machine) {
    // A name may hold any character: its hash, not the name, goes into the file's name.
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a: stable across runs
    for (const char c : machine) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    static constexpr char hex[] = "0123456789abcdef";
    key_ += "-m";
    for (int shift = 60; shift >= 0; shift -= 4) {
        key_.push_back(hex[(hash >> shift) & 0xF]);
    }
}

std::string SingleInstance::displayKey(std::string_view display) {
    std::string key(display);
    // ":0", ":0.0" and "unix:0" name one X display; the screen number only picks a screen.
    if (const std::size_t colon = key.rfind(':'); colon != std::string::npos) {
        if (const std::size_t dot = key.find('.', colon); dot != std::string::npos) {
            key.erase(dot);
        }
        if (key.starts_with("unix:")) {
            key.erase(0, 4);
        }
    }
    for (char& c : key) {
        if (!isKeyCharacter(c)) {
            c = '_';
        }
    }
    if (key.empty()) {
        return "default";
    }
    if (key.size() > maximumKeyLength) {
        std::uint64_t hash = 14695981039346656037ULL; // FNV-1a: stable across runs
        for (const char c : display) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        static constexpr char hex[] = "0123456789abcdef";
        key.resize(maximumKeyLength - 17);
        key.push_back('-');
        for (int shift = 60; shift >= 0; shift -= 4) {
            key.push_back(hex[(hash >> shift) & 0xF]);
        }
    }
    return key;
}

std::optional<std::string> SingleInstance::lockDirectory(const std::string& runtime) {
    if (!runtime.empty() && isPrivateDirectory(runtime, true)) {
        return runtime;
    }
    const std::string fallback = "/tmp/trovimo-" + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    if (!isPrivateDirectory(fallback, false)) {
        return std::nullopt;
    }
    return fallback;
}

SingleInstance::Role SingleInstance::claim(std::chrono::milliseconds patience) {
    const std::optional<std::string> directory = lockDirectory(runtimeDirectory_);
    if (!directory) {
        systemLog(logApp(),
                  QStringLiteral("SingleInstance: 二重起動の確認に使える非公開のフォルダー"
                                 "がありません（XDG_RUNTIME_DIR: %1）")
                      .arg(QString::fromLocal8Bit(runtimeDirectory_.c_str())));
        return Role::unguarded;
    }
    lockPath_ = *directory + "/trovimo-" + key_ + ".lock";
    socketPath_ = *directory + "/trovimo-" + key_ + ".socket";
    // Close-on-exec: a program started from the panel must not inherit the lock and keep
    // it after the panel ends.
    lock_ = UniqueFd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_) {
        systemLog(logApp(), QStringLiteral("SingleInstance: %1 を開けません: %2")
                                .arg(QString::fromLocal8Bit(lockPath_.c_str()), errorText()));
        return Role::unguarded;
    }

    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(lock_.get(), LOCK_EX | LOCK_NB) == 0) {
            startServer();
            return Role::first;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            systemLog(logApp(), QStringLiteral("SingleInstance: %1 をロックできません: %2")
                                    .arg(QString::fromLocal8Bit(lockPath_.c_str()), errorText()));
            lock_.reset();
            return Role::unguarded;
        }
        // The holder listens a moment after it takes the lock; until then, and while a
        // holder that is quitting has stopped listening, keep trying both.
        if (askRunningInstance()) {
            qCDebug(logApp).noquote()
                << QStringLiteral("SingleInstance: 起動中のパネルに表示を依頼しました");
            lock_.reset();
            return Role::handedOver;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            systemLog(logApp(),
                      QStringLiteral("SingleInstance: 起動中の Trovimo が応答しません（%1）")
                          .arg(QString::fromLocal8Bit(socketPath_.c_str())));
            lock_.reset();
            return Role::unanswered;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool SingleInstance::startServer() {
    sockaddr_un address{};
    if (!socketAddress(socketPath_, address)) {
        systemLog(logApp(), QStringLiteral("SingleInstance: ソケットのパスが長すぎます: %1")
                                .arg(QString::fromLocal8Bit(socketPath_.c_str())));
        return false;
    }
    // Left behind by a panel that was killed; no live panel owns it while we hold the lock.
    ::unlink(socketPath_.c_str());
    UniqueFd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!server ||
        ::bind(server.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(server.get(), pendingRequests) != 0) {
        systemLog(logApp(), QStringLiteral("SingleInstance: %1 で待ち受けできません: %2")
                                .arg(QString::fromLocal8Bit(socketPath_.c_str()), errorText()));
        return false;
    }
    server_ = std::move(server);
    return true;
}

bool SingleInstance::askRunningInstance() const {
    sockaddr_un address{};
    if (!socketAddress(socketPath_, address)) {
        return false;
    }
    // The connection is the request: it is queued by the kernel even before the running
    // panel accepts it, so this never waits on the panel.
    const UniqueFd client(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    return client && ::connect(client.get(), reinterpret_cast<const sockaddr*>(&address),
                               sizeof address) == 0;
}

void SingleInstance::listen() {
    if (!server_ || notifier_ != nullptr) {
        return;
    }
    notifier_ = new QSocketNotifier(server_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
    // A start while this panel quits must not be answered by it: it waits for the lock
    // instead and becomes the next panel.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &SingleInstance::stopListening);
    }
}

void SingleInstance::acceptPending() {
    bool requested = false;
    int error = 0;
    while (error == 0) {
        const int connection =
            ::accept4(server_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection >= 0) {
            ::close(connection);
            requested = true;
        } else if (errno != EINTR && errno != ECONNABORTED) {
            error = errno;
        }
    }
    if (error != EAGAIN && error != EWOULDBLOCK) {
        // Out of descriptors, say: the notifier would fire again at once, for ever.
        systemLog(logApp(), QStringLiteral("SingleInstance: 起動の依頼を受け取れません: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(error))));
        stopListening();
    }
    if (requested) {
        emit activationRequested();
    }
}

void SingleInstance::stopListening() {
    if (notifier_ != nullptr) {
        // May run inside the notifier's own signal.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (server_) {
        server_.reset();
        ::unlink(socketPath_.c_str());
    }
}

} // namespace trovimo
