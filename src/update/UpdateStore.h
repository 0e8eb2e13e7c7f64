#pragma once

#include "core/FeedLimits.h"
#include "core/WakeTimer.h"
#include "update/UpdateInfo.h"
#include "update/UpdateStatus.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class QProcess;

namespace trovimo {

class SettingsStore;

// Polls the maker's version feed: once when polling starts, then a day after every
// successful poll and an hour after every failed one, on a clock that keeps counting
// through suspend. Publishes the decision as `status`. Lives on the GUI thread; the HTTP
// exchange runs in a short-lived helper process (see feed::fetchHelperName), so the
// network stack costs the panel nothing between polls.
class UpdateStore : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds successWait{86400};
    static constexpr std::chrono::seconds failureWait{3600};
    static constexpr std::chrono::milliseconds defaultTransferTimeout =
        feed::defaultTransferTimeout;
    static constexpr qint64 maximumBodySize = feed::maximumBodySize;

    struct Options {
        // The settings that may carry `updateFeedURL`; SettingsStore::shared() when null.
        SettingsStore* settings = nullptr;
        // Waits between polls; a boot-time timer when null.
        std::unique_ptr<WakeTimer> timer;
        // Longest pause in the transfer before the request is given up.
        std::chrono::milliseconds transferTimeout = defaultTransferTimeout;
        // This program's version; the build's version when empty, "0" when that is empty.
        QString currentVersion;
        // False in builds made without the update check: polling never starts.
        bool enabled;
        // The fetch helper to run; defaultFetchProgram() when empty.
        QString fetchProgram;
        Options();
    };

    explicit UpdateStore(QObject* parent = nullptr);
    explicit UpdateStore(Options options, QObject* parent = nullptr);
    ~UpdateStore() override;
    UpdateStore(const UpdateStore&) = delete;
    UpdateStore& operator=(const UpdateStore&) = delete;

    [[nodiscard]] const UpdateStatus& status() const noexcept { return status_; }

    // Starts the polling loop; every call after the first does nothing, and so does every
    // call in a build without the update check.
    void startPolling();
    [[nodiscard]] bool isPolling() const noexcept { return polling_; }

    // Where the next poll fetches from: the `updateFeedURL` setting when it holds an
    // absolute URL, else the maker's feed. Read afresh at every poll.
    [[nodiscard]] QUrl feedUrl() const;
    [[nodiscard]] const QString& currentVersion() const noexcept { return currentVersion_; }

    // The installed fetch helper: next to this program in a build tree, else in the
    // installation's libexec folder relative to it.
    [[nodiscard]] static QString defaultFetchProgram();

    // The decision of one successful poll, from nothing: a latest version above `current`
    // makes an update available, required when `current` is also below the minimum (even
    // a minimum above the latest version), else optional.
    [[nodiscard]] static UpdateStatus decide(const QString& current, const UpdateInfo& info);

signals:
    // Only when the status really changed.
    void statusChanged(const trovimo::UpdateStatus& status);
    // After every poll, with whether the feed was fetched and decoded.
    void pollFinished(bool succeeded);

private:
    void poll();
    void onOutput();
    void onHelperEnded(bool started);
    void finishPoll(bool succeeded);
    void setStatus(const UpdateStatus& status);

    SettingsStore* settings_;
    std::unique_ptr<WakeTimer> timer_;
    std::chrono::milliseconds transferTimeout_;
    QString currentVersion_;
    bool enabled_;
    QString fetchProgram_;

    std::unique_ptr<QProcess> helper_;
    QByteArray output_;
    QTimer deadline_;
    bool pastDeadline_ = false;
    bool oversized_ = false;

    UpdateStatus status_;
    bool polling_ = false;
};

} // namespace trovimo
