// HttpClient on Qt Network for the windows: the request runs while the
// event loop is run for it, ended by the reply, by a timer that every
// arriving piece of data pushes further out, by a window that brought too
// little, or by the user's Cancel (a button press is an event like any
// other). No thread, no spinning; the window stays painted while it waits.
#pragma once

#include <QNetworkAccessManager>

#include "platform/HttpClient.h"

namespace orvalink {

class QtHttpClient final : public HttpClient {
public:
    QtHttpClient() = default;
    bool CheckConnection(const std::string& url, uint32_t timeoutMs, const HttpCancelled& cancelled) override;
    HttpResponse Get(const std::string& url, const HttpLimits& limits, const std::function<void(uint64_t)>& received,
                     const HttpCancelled& cancelled) override;

private:
    QNetworkAccessManager manager_;
};

}  // namespace orvalink
