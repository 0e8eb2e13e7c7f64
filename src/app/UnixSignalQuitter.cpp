#include "app/UnixSignalQuitter.h"

#include "core/SystemLog.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trovimo {
namespace {

// SIGHUP: the terminal went away or the session manager ends the session; the default
// action would end the program without the ordinary quit (a frame about to be saved lost).
constexpr std::array<int, 3> handledSignals{SIGINT, SIGTERM, SIGHUP};

// Read by the handler, so a plain lock-free int.
std::atomic<int> writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previousActions[handledSignals.size()];

extern "C" void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = writeEnd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending quit; losing this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

UnixSignalQuitter::UnixSignalQuitter(QObject* parent) : QObject(parent) {
    if (writeEnd.load() >= 0) {
        systemLog(logApp(),
                  QStringLiteral("UnixSignalQuitter: シグナル処理はすでに設定されています"));
        return;
    }
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        systemLog(logApp(), QStringLiteral("UnixSignalQuitter: パイプを作成できません: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
        pipe_ = {-1, -1};
        return;
    }
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalQuitter::drain);
    writeEnd.store(pipe_[1]);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i) {
        sigaction(handledSignals[i], nullptr, &previousActions[i]);
        // Ignored when we were started (nohup, a shell's background job): that was asked
        // for, and stays so, as every Unix program that handles these signals keeps it.
        if ((previousActions[i].sa_flags & SA_SIGINFO) == 0 &&
            previousActions[i].sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(handledSignals[i], &action, nullptr);
    }
    installed_ = true;
}

UnixSignalQuitter::~UnixSignalQuitter() {
    if (installed_) {
        for (std::size_t i = 0; i < handledSignals.size(); ++i) {
            sigaction(handledSignals[i], &previousActions[i], nullptr);
        }
        writeEnd.store(-1);
    }
    delete notifier_;
    for (const int fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void UnixSignalQuitter::drain() {
    unsigned char bytes[16];
    int last = 0;
    ssize_t count = 0;
    while ((count = ::read(pipe_[0], bytes, sizeof bytes)) > 0) {
        last = bytes[count - 1];
    }
    if (last == 0) {
        return;
    }
    emit signalReceived(last);
    // A signal during start-up may be taken by a nested event loop (the first frame waiting
    // for the disk figures), which quit() ends; the main loop starts afresh after it and
    // would run on. So the quit is asked for again until the main loop has ended too.
    if (!requeue_.isActive()) {
        connect(&requeue_, &QTimer::timeout, this, [] { QCoreApplication::quit(); });
        requeue_.start(50);
    }
    QCoreApplication::quit();
}

} // namespace trovimo
