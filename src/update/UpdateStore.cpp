#include "update/UpdateStore.h"

#include "BuildInfo.h"
#include "model/AppInfo.h"
#include "model/BoottimeTimer.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/SystemLog.h"
#include "update/UpdateFeed.h"
#include "update/VersionComparison.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace trovimo {
namespace {

// The transfer time-out only measures pauses; a server that trickles a byte now and then
// would hold the poll (and with it the loop) forever without an overall limit.
constexpr int deadlineFactor = 4;

void logFailure(const QString& description) {
    systemLog(QStringLiteral("UpdateStore: バージョン情報の取得に失敗: %1").arg(description));
}

} // namespace

UpdateStore::Options::Options() : enabled(build::updateCheck) {}

UpdateStore::UpdateStore(QObject* parent) : UpdateStore(Options(), parent) {}

UpdateStore::UpdateStore(Options options, QObject* parent)
    : QObject(parent), settings_(options.settings ? options.settings : &SettingsStore::shared()),
      timer_(options.timer ? std::move(options.timer) : std::make_unique<BoottimeTimer>()),
      transferTimeout_(options.transferTimeout), currentVersion_(options.currentVersion),
      enabled_(options.enabled) {
    if (currentVersion_.isEmpty()) {
        currentVersion_ = QString::fromUtf8(build::version);
    }
    if (currentVersion_.isEmpty()) {
        currentVersion_ = QStringLiteral("0");
    }
    connect(timer_.get(), &WakeTimer::fired, this, &UpdateStore::poll);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (reply_) {
            abortReason_ = AbortReason::deadline;
            reply_->abort();
        }
    });
}

UpdateStore::~UpdateStore() {
    // The reply belongs to the access manager; drop it before the members it reports to.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
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
    if (info.minimumVersion && isVersionOlderThan(current, *info.minimumVersion)) {
        return UpdateStatus::required(info);
    }
    if (isVersionOlderThan(current, info.latestVersion)) {
        return UpdateStatus::optional(info);
    }
    return UpdateStatus::upToDate();
}

void UpdateStore::poll() {
    if (reply_) {
        return;
    }
    if (!network_) {
        network_ = std::make_unique<QNetworkAccessManager>();
    }
    QNetworkRequest request(feedUrl());
    // Neither our cache nor one on the way may answer; Qt sends "Cache-Control: no-cache".
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // https may not be redirected to plain http (or to any other scheme).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(transferTimeout_.count()));

    body_.clear();
    abortReason_ = AbortReason::none;
    reply_ = network_->get(request);
    // Qt stops reading from the socket while this much is waiting for us.
    reply_->setReadBufferSize(maximumBodySize + 1);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateStore::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &UpdateStore::onFinished);
    deadline_.start(transferTimeout_ * deadlineFactor);
}

void UpdateStore::onReadyRead() {
    if (!reply_ || abortReason_ != AbortReason::none) {
        return;
    }
    // Read at most one byte past the limit: an endless body never piles up in memory.
    body_.append(reply_->read(maximumBodySize + 1 - body_.size()));
    if (body_.size() > maximumBodySize) {
        abortReason_ = AbortReason::oversized;
        reply_->abort();
    }
}

void UpdateStore::onFinished() {
    deadline_.stop();
    QNetworkReply* reply = reply_;
    if (!reply) {
        return;
    }
    reply_.clear();
    reply->deleteLater();
    onReadyRead();

    const QVariant statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    QString failure;
    if (abortReason_ == AbortReason::oversized) {
        failure = QStringLiteral("the response body is larger than %1 bytes").arg(maximumBodySize);
    } else if (abortReason_ == AbortReason::deadline) {
        failure = QStringLiteral("no complete response within %1 seconds")
                      .arg(transferTimeout_.count() * deadlineFactor / 1000.0);
    } else if (reply->error() == QNetworkReply::InsecureRedirectError ||
               reply->error() == QNetworkReply::TooManyRedirectsError) {
        failure = reply->errorString();
    } else if (statusCode.isValid() && statusCode.toInt() != 200) {
        failure = QStringLiteral("bad server response (HTTP status %1)").arg(statusCode.toInt());
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Qt reports its own transfer time-out as a cancellation.
        failure = QStringLiteral("the request timed out");
    } else if (reply->error() != QNetworkReply::NoError) {
        failure = reply->errorString();
    } else if (!statusCode.isValid()) {
        failure = QStringLiteral("bad server response (not an HTTP response)");
    }
    if (!failure.isEmpty()) {
        logFailure(failure);
        finishPoll(false);
        return;
    }

    QString decodingError;
    const std::optional<UpdateInfo> info = decodeUpdateInfo(body_, &decodingError);
    body_.clear();
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
