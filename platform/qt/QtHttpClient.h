// HttpClient on Qt Network for the windows: the request runs while a nested
// event loop waits for it, ended by the reply or by a timer that every
// arriving piece of data pushes further out. No thread, no spinning; the
// window stays painted while it waits.
#pragma once

#include <QNetworkAccessManager>

#include "platform/HttpClient.h"

namespace orvalink {

class QtHttpClient final : public HttpClient {
public:
    QtHttpClient() = default;
    bool CheckConnection(const std::string& url, uint32_t timeoutMs) override;
    HttpResponse Get(const std::string& url, const HttpLimits& limits,
                     const std::function<void(uint64_t)>& received) override;

private:
    QNetworkAccessManager manager_;
};

}  // namespace orvalink
