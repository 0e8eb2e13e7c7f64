#include "support/LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace trovimo::test {

LocalHttpServer::LocalHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
}

bool LocalHttpServer::setListening(bool listening) {
    if (!listening) {
        port_ = server_.serverPort();
        server_.close();
        for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
            socket->abort();
        }
        return true;
    }
    return server_.isListening() || server_.listen(QHostAddress::LocalHost, port_);
}

QUrl LocalHttpServer::url(const QString& path) const {
    const quint16 port = server_.isListening() ? server_.serverPort() : port_;
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
}

LocalHttpServer::Response LocalHttpServer::json(const QByteArray& body, int status) {
    Response response;
    response.status = status;
    response.body = body;
    response.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    return response;
}

LocalHttpServer::Response LocalHttpServer::redirect(const QByteArray& location) {
    Response response;
    response.status = 302;
    response.headers.append(qMakePair(QByteArray("Location"), location));
    return response;
}

LocalHttpServer::Response LocalHttpServer::noAnswer() {
    Response response;
    response.silent = true;
    return response;
}

void LocalHttpServer::onNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            pending_.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::onReadable(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer.append(socket->readAll());
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        return;
    }
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.remove(0, end + 4);
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const qsizetype colon = lines[index].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[index].left(colon).trimmed().toLower(),
                                   lines[index].mid(colon + 1).trimmed());
        }
    }
    requests_.append(request);

    const QByteArray path = request.path.left(request.path.indexOf('?'));
    const Response response =
        routes_.value(request.path, routes_.value(path, json("not found", 404)));
    if (response.silent) {
        return;
    }
    if (!response.raw.isEmpty()) {
        socket->write(response.raw);
        socket->disconnectFromHost();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    if (response.endlessChunk.isEmpty()) {
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n";
        socket->write(head + response.body);
        return;
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    auto* pump = new QTimer(socket);
    connect(pump, &QTimer::timeout, socket, [socket, chunk = response.endlessChunk] {
        if (socket->bytesToWrite() < 1024 * 1024) {
            socket->write(chunk);
        }
    });
    pump->start(2);
}

} // namespace trovimo::test
