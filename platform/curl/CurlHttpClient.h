// HttpClient on libcurl for the command line: one easy handle per request,
// driven by a multi handle that waits in curl_multi_poll, in slices no longer
// than the time left, so nothing spins while the server is quiet. The waits
// also wake when `wakeFd` (the command line's signal pipe) becomes readable,
// so Ctrl+C ends a request at once.
#pragma once

#include "platform/HttpClient.h"

namespace orvalink {

class CurlHttpClient final : public HttpClient {
public:
    explicit CurlHttpClient(int wakeFd = -1);
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    bool CheckConnection(const std::string& url, uint32_t timeoutMs, const HttpCancelled& cancelled) override;
    HttpResponse Get(const std::string& url, const HttpLimits& limits, const std::function<void(uint64_t)>& received,
                     const HttpCancelled& cancelled) override;

private:
    int wakeFd_ = -1;
};

}  // namespace orvalink
