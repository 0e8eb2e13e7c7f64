#include "update/UpdateStore.h"

#include "BuildInfo.h"
#include "core/AppInfo.h"
#include "core/BoottimeTimer.h"
#include "core/SystemLog.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "update/UpdateFeed.h"
#include "update/VersionComparison.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace trovimo {
namespace {

// The helper keeps its own deadline; this one only catches a helper that hangs.
constexpr std::chrono::seconds helperGrace{5};
// A failure description is one short line.
constexpr int maximumDescriptionLength = 500;

void logFailure(const QString& description) {
    systemLog(logUpdate(),
              QStringLiteral("UpdateStore: バージョン情報の取得に失敗: %1").arg(description));
}

} // namespace

UpdateStore::Options::Options() : enabled(build::updateCheck) {}

UpdateStore::UpdateStore(QObject* parent) : UpdateStore(Options(), parent) {}

UpdateStore::UpdateStore(Options options, QObject* parent)
    : QObject(parent), settings_(options.settings ? options.settings : &SettingsStore::shared()),
      timer_(options.timer ? std::move(options.timer) : std::make_unique<BoottimeTimer>()),
      transferTimeout_(options.transferTimeout), currentVersion_(options.currentVersion),
      enabled_(options.enabled),
      fetchProgram_(options.fetchProgram.isEmpty() ? defaultFetchProgram()
                                                   : std::move(options.fetchProgram)) {
    if (currentVersion_.isEmpty()) {
        currentVersion_ = QString::fromUtf8(build::version);
    }
    if (currentVersion_.isEmpty()) {
        currentVersion_ = QStringLiteral("0");
    }
    connect(timer_.get(), &WakeTimer::fired, this, &UpdateStore::poll);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (helper_) {
            pastDeadline_ = true;
            helper_->kill();
        }
    });
}

UpdateStore::~UpdateStore() {
    // Ending the helper reports back; it must not reach members already gone.
    if (helper_) {
        helper_->disconnect(this);
        helper_.reset();
    }
}

QString UpdateStore::defaultFetchProgram() {
    const QDir here(QCoreApplication::applicationDirPath());
    const QString name = QString::fromLatin1(feed::fetchHelperName);
    const QString beside = here.filePath(name);
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
    return QDir::cleanPath(
        here.filePath(QString::fromUtf8(build::libexecFromBin) + QLatin1Char('/') + name));
}

void UpdateStore::startPolling() {
    if (!enabled_ || polling_) {
        return;
    }
    polling_ = true;
    poll();
}

QUrl UpdateStore::feedUrl() const {
    if (const auto stored = settings_->stringValue(QLatin1String(keys::updateFeedURL))) {
        const QUrl url(stored->trimmed(), QUrl::StrictMode);
        if (url.isValid() && !url.isRelative()) {
            return url;
        }
    }
    return app::defaultFeedUrl();
}

UpdateStatus UpdateStore::decide(const QString& current, const UpdateInfo& info) {
    // Whatever the minimum says, there is nothing to update to.
    if (!isVersionOlderThan(current, info.latestVersion)) {
        return UpdateStatus::upToDate();
    }
    if (info.minimumVersion && isVersionOlderThan(current, *info.minimumVersion)) {
        return UpdateStatus::required(info);
    }
    return UpdateStatus::optional(info);
}

void UpdateStore::poll() {
    if (helper_) {
        return;
    }
    output_.clear();
    pastDeadline_ = false;
    oversized_ = false;
    helper_ = std::make_unique<QProcess>();
    // The helper must not outlive the panel, however the panel ends (a crash or SIGKILL
    // included). This runs in the helper between fork and exec; a panel that is already gone
    // by then never sends the signal, which the parent check catches.
    helper_->setChildProcessModifier([panel = ::getpid()] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != panel) {
            ::_exit(feed::fetchFailed);
        }
    });
    helper_->setStandardInputFile(QProcess::nullDevice());
    // Qt's own warnings from the helper belong in our log.
    helper_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(helper_.get(), &QProcess::readyReadStandardOutput, this, &UpdateStore::onOutput);
    connect(helper_.get(), &QProcess::finished, this, [this] { onHelperEnded(true); });
    connect(helper_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            onHelperEnded(false);
        }
    });
    deadline_.start(transferTimeout_ * feed::deadlineFactor + helperGrace);
    helper_->start(fetchProgram_, {feedUrl().toString(QUrl::FullyEncoded),
                                   QString::number(transferTimeout_.count())});
}

void UpdateStore::onOutput() {
    if (!helper_ || oversized_) {
        return;
    }
    // The helper stops at the limit itself; never hold more than one byte past it anyway.
    output_.append(helper_->read(maximumBodySize + 1 - output_.size()));
    if (output_.size() > maximumBodySize) {
        oversized_ = true;
        helper_->kill();
    }
}

void UpdateStore::onHelperEnded(bool started) {
    deadline_.stop();
    if (!helper_) {
        return;
    }
    onOutput();
    // Deleted later: this runs inside the process object's own signal.
    QProcess* helper = helper_.release();
    helper->disconnect(this);
    helper->deleteLater();

    QString failure;
    if (!started) {
        failure = QStringLiteral("the fetch helper %1 could not be started (%2)")
                      .arg(fetchProgram_, helper->errorString());
    } else if (oversized_) {
        failure = QStringLiteral("the response body is larger than %1 bytes").arg(maximumBodySize);
    } else if (pastDeadline_) {
        failure =
            QStringLiteral("no complete response within %1 seconds")
                .arg(static_cast<double>(transferTimeout_.count()) * feed::deadlineFactor / 1000.0);
    } else if (helper->exitStatus() != QProcess::NormalExit) {
        failure = QStringLiteral("the fetch helper ended abnormally");
    } else if (helper->exitCode() == feed::fetchFailed) {
        const qsizetype end = output_.indexOf('\n');
        failure = QString::fromUtf8(output_.left(end < 0 ? output_.size() : end))
                      .left(maximumDescriptionLength)
                      .trimmed();
        if (failure.isEmpty()) {
            failure = QStringLiteral("the fetch helper gave no reason");
        }
    } else if (helper->exitCode() != feed::fetchOk) {
        failure =
            QStringLiteral("the fetch helper failed (exit status %1)").arg(helper->exitCode());
    }
    if (!failure.isEmpty()) {
        output_.clear();
        logFailure(failure);
        finishPoll(false);
        return;
    }

    QString decodingError;
    const std::optional<UpdateInfo> info = decodeUpdateInfo(output_, &decodingError);
    output_.clear();
    if (!info) {
        logFailure(decodingError);
        finishPoll(false);
        return;
    }
    setStatus(decide(currentVersion_, *info));
    finishPoll(true);
}

void UpdateStore::finishPoll(bool succeeded) {
    timer_->arm(succeeded ? successWait : failureWait);
    emit pollFinished(succeeded);
}

void UpdateStore::setStatus(const UpdateStatus& status) {
    if (status == status_) {
        return;
    }
    status_ = status;
    emit statusChanged(status_);
}

} // namespace trovimo
