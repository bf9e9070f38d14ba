#include "platform/qt/QtHttpClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace orvalink {

namespace {

// Runs the event loop until `finished` holds or the user cancels; every
// event (data, a timer, a button press) wakes it, between them it sleeps.
// True when cancelled.
template <typename Finished>
bool RunUntil(Finished finished, const HttpCancelled& cancelled) {
    while (!finished()) {
        if (cancelled && cancelled()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return false;
}

}  // namespace

bool QtHttpClient::CheckConnection(const std::string& url, uint32_t timeoutMs, const HttpCancelled& cancelled) {
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) return false;
    QString host = QString::fromStdString(address.host);
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    QTcpSocket socket;
    QTimer timer;
    timer.setSingleShot(true);
    bool ended = false;
    QObject::connect(&timer, &QTimer::timeout, &socket, [&] { ended = true; });
    QObject::connect(&socket, &QTcpSocket::connected, &socket, [&] { ended = true; });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &socket, [&] { ended = true; });
    socket.connectToHost(host, address.port);
    timer.start(int(timeoutMs));
    bool connected = false;
    if (socket.state() != QAbstractSocket::ConnectedState && socket.state() != QAbstractSocket::UnconnectedState) {
        if (!RunUntil([&] { return ended; }, cancelled)) connected = socket.state() == QAbstractSocket::ConnectedState;
    } else {
        connected = socket.state() == QAbstractSocket::ConnectedState;
    }
    socket.abort();
    return connected;
}

HttpResponse QtHttpClient::Get(const std::string& url, const HttpLimits& limits,
                               const std::function<void(uint64_t)>& received, const HttpCancelled& cancelled) {
    HttpResponse response;
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) {
        response.failure = HttpFailure::BadUrl;
        response.why = "not an http or https address";
        return response;
    }
    std::string current = url;
    // One timer for the whole GET, redirects included; so is the rate rule,
    // which counts every byte of it.
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(int(limits.timeoutMs));
    QTimer window;
    uint64_t total = 0, totalAtWindowStart = 0;
    bool trickled = false;
    if (limits.rateWindowMs > 0) window.start(int(limits.rateWindowMs));
    for (int hop = 0;; ++hop) {
        QNetworkRequest request(QUrl(QString::fromStdString(current)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply* reply = manager_.get(request);
        std::vector<uint8_t> body;
        bool timedOut = false, tooLarge = false, finished = false;
        // The context of this hop's connections: they end with it.
        QObject scope;
        QObject::connect(reply, &QNetworkReply::finished, &scope, [&] { finished = true; });
        QObject::connect(&timer, &QTimer::timeout, &scope, [&] {
            timedOut = true;
            reply->abort();
        });
        QObject::connect(&window, &QTimer::timeout, &scope, [&] {
            if (total - totalAtWindowStart < limits.minWindowBytes) {
                trickled = true;
                reply->abort();
            }
            totalAtWindowStart = total;
        });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &scope, [&] {
            bool known = false;
            qulonglong length = reply->header(QNetworkRequest::ContentLengthHeader).toULongLong(&known);
            if (known && length > limits.maxBodyBytes) {
                tooLarge = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &scope, [&] {
            QByteArray piece = reply->readAll();
            if (body.size() + uint64_t(piece.size()) > limits.maxBodyBytes) {
                tooLarge = true;
                reply->abort();
                return;
            }
            body.insert(body.end(), piece.begin(), piece.end());
            total += uint64_t(piece.size());
            // Data arrived: the time-out grows.
            timer.start(timer.remainingTime() + int(limits.growMs));
            if (received) received(body.size());
        });
        bool userCancelled = false;
        if (!reply->isFinished()) userCancelled = RunUntil([&] { return finished || reply->isFinished(); }, cancelled);
        if (userCancelled) {
            reply->disconnect();
            reply->abort();
        }
        if (!tooLarge && !timedOut && !trickled && !userCancelled) {
            QByteArray rest = reply->readAll();
            if (body.size() + uint64_t(rest.size()) > limits.maxBodyBytes) {
                tooLarge = true;
            } else if (!rest.isEmpty()) {
                body.insert(body.end(), rest.begin(), rest.end());
                total += uint64_t(rest.size());
                if (received) received(body.size());
            }
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError error = reply->error();
        const QString errorText = reply->errorString();
        const QByteArray location = reply->rawHeader("Location");
        reply->disconnect();
        reply->deleteLater();
        response.status = status;
        if (userCancelled) {
            response.failure = HttpFailure::Cancelled;
            response.why = "cancelled";
            return response;
        }
        if (timedOut) {
            response.failure = HttpFailure::Timeout;
            response.why = "timed out: no data within the time-out";
            return response;
        }
        if (trickled) {
            response.failure = HttpFailure::Timeout;
            response.why = TrickleText(limits);
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
