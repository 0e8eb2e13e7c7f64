#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

namespace trovimo::test {

// A tiny HTTP/1.1 server on 127.0.0.1 for the update tests and the fault matrix: one
// canned answer per path.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // Never answer (the client has to time out).
        bool silent = false;
        // After the headers, keep sending this chunk every few milliseconds until the
        // client goes away; no Content-Length.
        QByteArray endlessChunk;
        // Sent as it is instead of a response (bytes that are not HTTP).
        QByteArray raw;
    };
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    LocalHttpServer();

    // A route for a path answers it with any query unless the path with that query has one.
    void route(const QByteArray& path, Response response) { routes_.insert(path, response); }
    [[nodiscard]] QUrl url(const QString& path) const;
    [[nodiscard]] const QList<Request>& requests() const { return requests_; }
    // Gone (the port refuses, open connections are closed) or back on the same port.
    bool setListening(bool listening);

    [[nodiscard]] static Response json(const QByteArray& body, int status = 200);
    [[nodiscard]] static Response redirect(const QByteArray& location);
    [[nodiscard]] static Response noAnswer();

private:
    void onNewConnection();
    void onReadable(QTcpSocket* socket);

    QTcpServer server_;
    quint16 port_ = 0;
    QHash<QByteArray, Response> routes_;
    QList<Request> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

} // namespace trovimo::test
