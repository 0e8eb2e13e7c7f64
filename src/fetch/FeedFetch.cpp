#include "fetch/FeedFetch.h"

#include "core/FeedLimits.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace trovimo {

FeedFetch::FeedFetch(QUrl url, std::chrono::milliseconds transferTimeout, QObject* parent)
    : QObject(parent), url_(std::move(url)), transferTimeout_(transferTimeout) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (reply_) {
            abortReason_ = AbortReason::deadline;
            reply_->abort();
        }
    });
}

FeedFetch::~FeedFetch() {
    // The reply belongs to the access manager; drop it before the members it reports to.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void FeedFetch::start() {
    const QString scheme = url_.scheme();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) {
        // Qt would read file: and qrc: URLs too; the feed only ever comes over the web.
        QMetaObject::invokeMethod(
            this, [this] { emit failed(QStringLiteral("the feed URL must use http or https")); },
            Qt::QueuedConnection);
        return;
    }
    network_ = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(url_);
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
    reply_->setReadBufferSize(feed::maximumBodySize + 1);
    connect(reply_, &QNetworkReply::readyRead, this, &FeedFetch::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &FeedFetch::onFinished);
    deadline_.start(transferTimeout_ * feed::deadlineFactor);
}

void FeedFetch::onReadyRead() {
    if (!reply_ || abortReason_ != AbortReason::none) {
        return;
    }
    // Read at most one byte past the limit: an endless body never piles up in memory.
    body_.append(reply_->read(feed::maximumBodySize + 1 - body_.size()));
    if (body_.size() > feed::maximumBodySize) {
        abortReason_ = AbortReason::oversized;
        reply_->abort();
    }
}

void FeedFetch::onFinished() {
    deadline_.stop();
    QNetworkReply* reply = reply_;
    if (!reply) {
        return;
    }
    onReadyRead();
    reply_.clear();
    reply->deleteLater();

    const QVariant statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    QString failure;
    if (abortReason_ == AbortReason::oversized) {
        failure =
            QStringLiteral("the response body is larger than %1 bytes").arg(feed::maximumBodySize);
    } else if (abortReason_ == AbortReason::deadline) {
        failure =
            QStringLiteral("no complete response within %1 seconds")
                .arg(static_cast<double>(transferTimeout_.count()) * feed::deadlineFactor / 1000.0);
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
        emit failed(failure);
        return;
    }
    emit succeeded(std::exchange(body_, QByteArray()));
}

} // namespace trovimo
