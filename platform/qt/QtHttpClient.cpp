#include "platform/qt/QtHttpClient.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace orvalink {

bool QtHttpClient::CheckConnection(const std::string& url, uint32_t timeoutMs) {
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) return false;
    QString host = QString::fromStdString(address.host);
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    QTcpSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket.connectToHost(host, address.port);
    timer.start(int(timeoutMs));
    if (socket.state() != QAbstractSocket::ConnectedState && socket.state() != QAbstractSocket::UnconnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    bool connected = socket.state() == QAbstractSocket::ConnectedState;
    socket.abort();
    return connected;
}

HttpResponse QtHttpClient::Get(const std::string& url, const HttpLimits& limits,
                               const std::function<void(uint64_t)>& received) {
    HttpResponse response;
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) {
        response.failure = HttpFailure::BadUrl;
        response.why = "not an http or https address";
        return response;
    }
    std::string current = url;
    // One timer for the whole GET, redirects included.
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(int(limits.timeoutMs));
    for (int hop = 0;; ++hop) {
        QNetworkRequest request(QUrl(QString::fromStdString(current)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply* reply = manager_.get(request);
        std::vector<uint8_t> body;
        bool timedOut = false, tooLarge = false;
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            reply->abort();
            loop.quit();
        });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
            bool known = false;
            qulonglong length = reply->header(QNetworkRequest::ContentLengthHeader).toULongLong(&known);
            if (known && length > limits.maxBodyBytes) {
                tooLarge = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
            QByteArray piece = reply->readAll();
            if (body.size() + uint64_t(piece.size()) > limits.maxBodyBytes) {
                tooLarge = true;
                reply->abort();
                return;
            }
            body.insert(body.end(), piece.begin(), piece.end());
            // Data arrived: the time-out grows.
            timer.start(timer.remainingTime() + int(limits.growMs));
            if (received) received(body.size());
        });
        if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!tooLarge && !timedOut) {
            QByteArray rest = reply->readAll();
            if (body.size() + uint64_t(rest.size()) > limits.maxBodyBytes) {
                tooLarge = true;
            } else if (!rest.isEmpty()) {
                body.insert(body.end(), rest.begin(), rest.end());
                if (received) received(body.size());
            }
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError error = reply->error();
        const QString errorText = reply->errorString();
        const QByteArray location = reply->rawHeader("Location");
        reply->deleteLater();
        response.status = status;
        if (timedOut) {
            response.failure = HttpFailure::Timeout;
            response.why = "no data within the time-out";
            return response;
        }
        if (tooLarge) {
            response.failure = HttpFailure::TooLarge;
            response.why = "the body is longer than " + std::to_string(limits.maxBodyBytes) + " bytes";
            return response;
        }
        if (status >= 300 && status < 400) {
            std::string next;
            if (hop >= kMaxRedirects || location.isEmpty() ||
                !RedirectAllowed(current, location.toStdString(), next)) {
                response.failure = HttpFailure::Redirect;
                response.why = "redirect to " + location.toStdString() + " refused";
                return response;
            }
            current = next;
            continue;
        }
        if (status == 0) {
            response.failure = error == QNetworkReply::ConnectionRefusedError || error == QNetworkReply::HostNotFoundError
                                   ? HttpFailure::Connect
                                   : HttpFailure::Transfer;
            response.why = errorText.toStdString();
            return response;
        }
        if (status < 200 || status >= 300) {
            response.failure = HttpFailure::Status;
            response.why = "HTTP status " + std::to_string(status);
            return response;
        }
        if (error != QNetworkReply::NoError) {
            response.failure = HttpFailure::Transfer;
            response.why = errorText.toStdString();
            return response;
        }
        response.body = std::move(body);
        return response;
    }
}

}  // namespace orvalink
