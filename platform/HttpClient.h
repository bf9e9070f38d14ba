// Fetching a file over HTTP into memory: the upgrade download's only road to
// the network. The windows use a QNetworkAccessManager waiting in a nested
// event loop (platform/qt/QtHttpClient), the command line libcurl's multi
// interface waiting in curl_multi_poll (platform/curl/CurlHttpClient); both
// wait without a thread and without spinning.
//
// A GET gives up when its time-out runs out; the time-out starts at
// `timeoutMs` and grows by `growMs` every time data arrives, so a slow but
// progressing transfer lives on. A transfer that trickles (fewer than
// `minWindowBytes` arrived in a window of `rateWindowMs`, counted from the
// start) ends as a time-out too, so a server sending a byte now and then
// cannot hold the caller for ever: with the largest body allowed, a GET lasts
// at most about maxBodyBytes / minWindowBytes windows. A body longer than
// `maxBodyBytes` is refused as soon as it shows itself. Redirects are
// followed only to http or https on the same host, at most kMaxRedirects
// times. The caller's Cancel ends a request at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

struct HttpLimits {
    uint32_t timeoutMs = 10000;
    uint32_t growMs = 2000;
    uint64_t maxBodyBytes = 8u << 20;
    uint32_t rateWindowMs = 30000;
    uint64_t minWindowBytes = 64u << 10;
};

// The user's Cancel: asked every time a wait wakes (data came, a user event,
// the client's wake-up descriptor); true ends the request with
// HttpFailure::Cancelled.
using HttpCancelled = std::function<bool()>;

enum class HttpFailure {
    None,
    BadUrl,      // not an http or https address
    Connect,     // no connection to the host
    Timeout,     // the time-out ran out, or the transfer trickled
    Cancelled,   // the user cancelled
    TooLarge,    // the body is longer than the limit allows
    Redirect,    // a redirect elsewhere than http/https of the same host, or too many
    Status,      // the server answered, but not with 2xx
    Transfer,    // anything else that broke the transfer
};

struct HttpResponse {
    HttpFailure failure = HttpFailure::None;
    int status = 0;              // the last HTTP status seen (0: none)
    std::vector<uint8_t> body;   // the whole body when Ok()
    std::string why;             // a few words for a failure
    bool Ok() const { return failure == HttpFailure::None; }
};

inline constexpr int kMaxRedirects = 5;

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Whether the host of `url` takes a connection within `timeoutMs` (and
    // before `cancelled`, when given, holds).
    virtual bool CheckConnection(const std::string& url, uint32_t timeoutMs, const HttpCancelled& cancelled) = 0;
    // GETs `url`. `received`, when given, is told the body's length so far
    // every time data arrives.
    virtual HttpResponse Get(const std::string& url, const HttpLimits& limits,
                             const std::function<void(uint64_t)>& received, const HttpCancelled& cancelled) = 0;
};

// The parts of an http or https address that the rules above judge.
struct HttpAddress {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // lower case, without the port
    uint16_t port = 0;   // the scheme's port when none is given
};
// False for anything but an http or https address with a host.
bool ParseHttpAddress(std::string_view url, HttpAddress& address);
// Where a redirect from `from` to `location` leads (a relative location is
// resolved against `from`), and whether it may be followed: http or https
// on the same host. `target` is set only when it may.
bool RedirectAllowed(std::string_view from, std::string_view location, std::string& target);

// Short words for each failure, for a log or the command line.
std::string_view HttpFailureText(HttpFailure failure);
// The words of a transfer that trickled.
std::string TrickleText(const HttpLimits& limits);

}  // namespace orvalink
