#include "platform/curl/CurlHttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace orvalink {

namespace {

using SteadyClock = std::chrono::steady_clock;

// What one transfer collects while curl runs it.
struct Transfer {
    std::vector<uint8_t> body;
    uint64_t maxBytes = 0;
    bool tooLarge = false;
    SteadyClock::time_point deadline;
    std::chrono::milliseconds grow{0};
    const std::function<void(uint64_t)>* received = nullptr;
    // The rate rule: every byte of the GET (redirects included) counts;
    // none of it applies while `window` is zero.
    uint64_t total = 0;
    uint64_t minWindowBytes = 0;
    std::chrono::milliseconds window{0};
    SteadyClock::time_point windowEnd;
    uint64_t totalAtWindowStart = 0;
    const HttpCancelled* cancelled = nullptr;
    int wakeFd = -1;
};

// How a run ended other than by curl's own result.
enum class Stop { None, TimedOut, Trickled, Cancelled };

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t.body.size() + n > t.maxBytes) {
        t.tooLarge = true;
        return 0;  // curl ends the transfer with a write error
    }
    t.body.insert(t.body.end(), reinterpret_cast<uint8_t*>(data), reinterpret_cast<uint8_t*>(data) + n);
    t.total += n;
    t.deadline += t.grow;
    if (t.received && *t.received) (*t.received)(t.body.size());
    return n;
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};

// Runs `easy` to its end, to the deadline (which the write callback may
// push on), to a window that brought too little, or to the user's Cancel.
CURLcode RunToEnd(CURL* easy, Transfer& t, Stop& stop) {
    stop = Stop::None;
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi) return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(multi.get(), easy);
    CURLcode result = CURLE_OK;
    bool done = false;
    auto isCancelled = [&t] { return t.cancelled && *t.cancelled && (*t.cancelled)(); };
    while (!done) {
        if (isCancelled()) {
            stop = Stop::Cancelled;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                done = true;
            }
        }
        if (done || running == 0) break;
        const auto now = SteadyClock::now();
        if (t.window.count() > 0 && now >= t.windowEnd) {
            if (t.total - t.totalAtWindowStart < t.minWindowBytes) {
                stop = Stop::Trickled;
                break;
            }
            t.totalAtWindowStart = t.total;
            t.windowEnd = now + t.window;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.deadline - now);
        if (left.count() <= 0) {
            stop = Stop::TimedOut;
            break;
        }
        if (t.window.count() > 0)
            left = std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(t.windowEnd - now) +
                                      std::chrono::milliseconds(1));
        int slice = int(std::min<long long>(left.count(), 1000));
        curl_waitfd wake{t.wakeFd, CURL_WAIT_POLLIN, 0};
        curl_multi_poll(multi.get(), t.wakeFd >= 0 ? &wake : nullptr, t.wakeFd >= 0 ? 1u : 0u, slice, nullptr);
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

}  // namespace

CurlHttpClient::CurlHttpClient(int wakeFd) : wakeFd_(wakeFd) { curl_global_init(CURL_GLOBAL_DEFAULT); }

CurlHttpClient::~CurlHttpClient() { curl_global_cleanup(); }

bool CurlHttpClient::CheckConnection(const std::string& url, uint32_t timeoutMs, const HttpCancelled& cancelled) {
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) return false;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) return false;
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, long(timeoutMs));
    Transfer t;
    t.deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    t.cancelled = &cancelled;
    t.wakeFd = wakeFd_;
    Stop stop = Stop::None;
    return RunToEnd(easy.get(), t, stop) == CURLE_OK && stop == Stop::None;
}

HttpResponse CurlHttpClient::Get(const std::string& url, const HttpLimits& limits,
                                 const std::function<void(uint64_t)>& received, const HttpCancelled& cancelled) {
    HttpResponse response;
    HttpAddress address;
    if (!ParseHttpAddress(url, address)) {
        response.failure = HttpFailure::BadUrl;
        response.why = "not an http or https address";
        return response;
    }
    std::string current = url;
    // The time-out spans the whole GET, redirects included.
    Transfer t;
    t.maxBytes = limits.maxBodyBytes;
    t.grow = std::chrono::milliseconds(limits.growMs);
    t.deadline = SteadyClock::now() + std::chrono::milliseconds(limits.timeoutMs);
    t.received = &received;
    t.cancelled = &cancelled;
    t.wakeFd = wakeFd_;
    t.minWindowBytes = limits.minWindowBytes;
    t.window = std::chrono::milliseconds(limits.rateWindowMs);
    t.windowEnd = SteadyClock::now() + t.window;
    for (int hop = 0;; ++hop) {
        std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
        if (!easy) {
            response.failure = HttpFailure::Transfer;
            response.why = "curl could not start";
            return response;
        }
        t.body.clear();
        curl_easy_setopt(easy.get(), CURLOPT_URL, current.c_str());
        curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteBody);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(easy.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxBodyBytes));
        Stop stop = Stop::None;
        CURLcode code = RunToEnd(easy.get(), t, stop);
        long status = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
        response.status = int(status);
        if (stop == Stop::Cancelled) {
            response.failure = HttpFailure::Cancelled;
            response.why = "cancelled";
            return response;
        }
        if (stop == Stop::TimedOut) {
            response.failure = HttpFailure::Timeout;
            response.why = "timed out: no data within the time-out";
            return response;
        }
        if (stop == Stop::Trickled) {
            response.failure = HttpFailure::Timeout;
            response.why = TrickleText(limits);
            return response;
        }
        if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            response.failure = HttpFailure::TooLarge;
            response.why = "the body is longer than " + std::to_string(limits.maxBodyBytes) + " bytes";
            return response;
        }
        if (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST) {
            response.failure = HttpFailure::Connect;
            response.why = curl_easy_strerror(code);
            return response;
        }
        if (code != CURLE_OK) {
            response.failure = HttpFailure::Transfer;
            response.why = curl_easy_strerror(code);
            return response;
        }
        if (status >= 300 && status < 400) {
            char* location = nullptr;
            curl_easy_getinfo(easy.get(), CURLINFO_REDIRECT_URL, &location);
            std::string next;
            if (hop >= kMaxRedirects || !location || !RedirectAllowed(current, location, next)) {
                response.failure = HttpFailure::Redirect;
                response.why = location ? "redirect to " + std::string(location) + " refused" : "redirect without a place";
                return response;
            }
            current = next;
            continue;
        }
        if (status < 200 || status >= 300) {
            response.failure = HttpFailure::Status;
            response.why = "HTTP status " + std::to_string(status);
            return response;
        }
        response.body = std::move(t.body);
        return response;
    }
}

}  // namespace orvalink
