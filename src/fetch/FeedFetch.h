#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace trovimo {

// One bounded GET of the version feed: http or https only, redirects only to schemes at
// least as safe, a 200 at the end, a body of at most feed::maximumBodySize bytes, a
// transfer time-out for pauses and an overall deadline. Ends with exactly one of the two
// signals.
class FeedFetch : public QObject {
    Q_OBJECT
public:
    FeedFetch(QUrl url, std::chrono::milliseconds transferTimeout, QObject* parent = nullptr);
    ~FeedFetch() override;
    FeedFetch(const FeedFetch&) = delete;
    FeedFetch& operator=(const FeedFetch&) = delete;

    void start();

signals:
    void succeeded(const QByteArray& body);
    // A one-line description for the log (Qt's own texts where Qt found the fault).
    void failed(const QString& description);

private:
    enum class AbortReason { none, oversized, deadline };

    void onReadyRead();
    void onFinished();

    QUrl url_;
    std::chrono::milliseconds transferTimeout_;
    std::unique_ptr<QNetworkAccessManager> network_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    QTimer deadline_;
    AbortReason abortReason_ = AbortReason::none;
};

} // namespace trovimo
