#include "core/BackgroundRead.h"

#include "core/SystemLog.h"

#include <QThread>

namespace trovimo {
namespace {

// The job runs in run(); its hand-back is taken on the owner's thread after `finished`, which
// the queued connection orders after everything run() wrote.
class ReadThread final : public QThread {
public:
    explicit ReadThread(BackgroundRead::Job job) : job_(std::move(job)) {}
    [[nodiscard]] BackgroundRead::HandBack takeHandBack() { return std::move(handBack_); }

protected:
    void run() override {
        handBack_ = job_();
        job_ = nullptr; // what the job holds is let go of here, not on the GUI thread
    }

private:
    BackgroundRead::Job job_;
    BackgroundRead::HandBack handBack_;
};

} // namespace

BackgroundRead::BackgroundRead(QString threadName, QString overdueLine,
                               std::chrono::milliseconds limit, QObject* parent)
    : QObject(parent), threadName_(std::move(threadName)), overdueLine_(std::move(overdueLine)) {
    overdue_.setSingleShot(true);
    overdue_.setInterval(limit);
    connect(&overdue_, &QTimer::timeout, this, [this] { systemLog(logReaders(), overdueLine_); });
}

BackgroundRead::~BackgroundRead() = default;

bool BackgroundRead::start(Job job) {
    if (running_) {
        return false;
    }
    auto* thread = new ReadThread(std::move(job));
    thread->setObjectName(threadName_); // the thread's name in top and gdb
    // Deleted here rather than by deleteLater(), which a tool's processEvents() never gets to.
    // Should this object go first, a thread that hangs is left to the end of the process.
    connect(thread, &QThread::finished, this, [this, thread] {
        const HandBack handBack = thread->takeHandBack();
        thread->wait(); // past `finished`, only the thread's own exit is left
        delete thread;
        running_ = false;
        overdue_.stop();
        if (handBack) {
            handBack();
        }
        emit finished();
    });
    thread->start();
    if (!thread->isRunning() && !thread->isFinished()) {
        delete thread; // no thread could be made (out of memory or tasks): try again later
        return false;
    }
    running_ = true;
    overdue_.start();
    return true;
}

} // namespace trovimo
