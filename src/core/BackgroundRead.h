#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

namespace trovimo {

// Runs one read that may block without end (statvfs of a network home, a walk of the trash)
// on a thread of its own, so the GUI thread never waits on a file system. The read returns
// its hand-back, which runs on this object's thread once the read is over: the result moves
// from one thread to the other inside it, and nothing is shared while the read runs.
//
// A read that has not returned within the time limit is logged once and left to finish;
// no other read starts until it has. Each read gets a new thread, without a parent, deleted
// once its hand-back is taken: one that hangs in the kernel may outlive this object (its
// hand-back is then dropped), and at worst holds up the end of the process.
class BackgroundRead final : public QObject {
    Q_OBJECT
public:
    using HandBack = std::function<void()>;
    using Job = std::function<HandBack()>;

    // `overdueLine`: the log line written when a read overruns `limit`.
    BackgroundRead(QString threadName, QString overdueLine, std::chrono::milliseconds limit,
                   QObject* parent = nullptr);
    ~BackgroundRead() override;

    // Starts `job` unless a read is still running or no thread can be made; false then.
    bool start(Job job);
    [[nodiscard]] bool isRunning() const noexcept { return running_; }

    void setTimeLimit(std::chrono::milliseconds limit) { overdue_.setInterval(limit); }

signals:
    // After a read's hand-back ran.
    void finished();

private:
    QString threadName_;
    QString overdueLine_;
    QTimer overdue_;
    bool running_ = false;
};

} // namespace trovimo
