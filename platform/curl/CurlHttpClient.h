// HttpClient on libcurl for the command line: one easy handle per request,
// driven by a multi handle that waits in curl_multi_poll, in slices no longer
// than the time left, so nothing spins while the server is quiet.
#pragma once

#include "platform/HttpClient.h"

namespace orvalink {

class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    bool CheckConnection(const std::string& url, uint32_t timeoutMs) override;
    HttpResponse Get(const std::string& url, const HttpLimits& limits,
                     const std::function<void(uint64_t)>& received) override;
};

}  // namespace orvalink
