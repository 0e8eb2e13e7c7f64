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

// Keeps the file names short: the socket's path must fit sockaddr_un's 108 bytes.
constexpr std::size_t maximumKeyLength = 48;
constexpr int pendingRequests = 8;

QString errorText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Owned by us and closed to everyone else, as XDG_RUNTIME_DIR is required to be. The
// fallback is looked at with lstat: a symbolic link in its place must not count.
bool isPrivateDirectory(const std::string& path, bool followLinks) {
    struct stat status {};
    const int result = followLinks ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    return result == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & 077) == 0;
}

bool fitsSocketAddress(const std::string& path) {
    return path.size() < sizeof(sockaddr_un::sun_path);
}

// A folder of ours that nobody else may enter, made if missing, with its parent (a cache
// directory not made yet) but nothing above: a home that does not exist stays so.
bool makePrivateDirectory(const std::string& path) {
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat status {};
    // A folder of ours that someone loosened is closed again.
    if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
        status.st_uid == ::geteuid() && (status.st_mode & 077) != 0) {
        ::chmod(path.c_str(), 0700);
    }
    return isPrivateDirectory(path, false);
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

std::optional<std::string> SingleInstance::fallbackDirectory() {
    // Relative values are to be ignored, as the base directory specification says.
    std::string cache;
    if (const char* value = std::getenv("XDG_CACHE_HOME"); value != nullptr && value[0] == '/') {
        cache = value;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        cache = std::string(home) + "/.cache";
    } else {
        return std::nullopt;
    }
    const std::string folder = cache + "/trovimo";
    return makePrivateDirectory(folder) ? std::optional<std::string>(folder) : std::nullopt;
}

bool SingleInstance::openLock(const std::string& directory) {
    lockPath_ = directory + "/trovimo-" + key_ + ".lock";
    socketPath_ = directory + "/trovimo-" + key_ + ".socket";
    // Close-on-exec: a program started from the panel must not inherit the lock and keep
    // it after the panel ends.
    lock_ = UniqueFd(::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_) {
        return false;
    }
    if (!fitsSocketAddress(socketPath_)) {
        directory_ = UniqueFd(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return true;
}

SingleInstance::Role SingleInstance::claim(std::chrono::milliseconds patience) {
    // The runtime directory while it is ours and writable, else the fallback: every start
    // decides alike, so all of them meet in the same folder.
    bool locked = !runtimeDirectory_.empty() && isPrivateDirectory(runtimeDirectory_, true) &&
                  openLock(runtimeDirectory_);
    if (!locked) {
        const std::optional<std::string> fallback = fallbackDirectory();
        locked = fallback && openLock(*fallback);
    }
    if (!locked) {
        systemLog(logApp(),
                  QStringLiteral("SingleInstance: 二重起動の確認に使える非公開のフォルダー"
                                 "がありません（XDG_RUNTIME_DIR: %1）")
                      .arg(QString::fromLocal8Bit(runtimeDirectory_.c_str())));
        return Role::unguarded;
    }
    if (sockaddr_un address{}; !socketAddress(address)) {
        // Neither a path nor the folder's descriptor reaches the socket: asking could only
        // wait in vain.
        systemLog(logApp(), QStringLiteral("SingleInstance: ソケットのパスが長すぎます: %1")
                                .arg(QString::fromLocal8Bit(socketPath_.c_str())));
        lock_.reset();
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

// The socket's path, or for a folder too deep for sockaddr_un the same file reached through
// the folder's descriptor ("/proc/self/fd/N/name"), which the kernel resolves like the path.
bool SingleInstance::socketAddress(sockaddr_un& address) const {
    std::string path = socketPath_;
    if (!fitsSocketAddress(path)) {
        if (!directory_) {
            return false;
        }
        path = "/proc/self/fd/" + std::to_string(directory_.get()) + path.substr(path.rfind('/'));
    }
    address = {};
    address.sun_family = AF_UNIX;
    if (!fitsSocketAddress(path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SingleInstance::startServer() {
    sockaddr_un address{};
    if (!socketAddress(address)) {
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
    if (!socketAddress(address)) {
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
