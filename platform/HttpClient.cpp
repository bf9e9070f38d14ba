#include "platform/HttpClient.h"

#include <cctype>

namespace orvalink {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool ParseHttpAddress(std::string_view url, HttpAddress& address) {
    size_t colon = url.find("://");
    if (colon == std::string_view::npos) return false;
    std::string scheme = Lower(url.substr(0, colon));
    uint16_t port = 0;
    if (scheme == "http") {
        port = 80;
    } else if (scheme == "https") {
        port = 443;
    } else {
        return false;
    }
    std::string_view rest = url.substr(colon + 3);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // User information before an '@' is not a host.
    if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
    std::string_view host = authority;
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
        authority = authority.substr(close + 1);
        if (!authority.empty() && authority.front() != ':') return false;
    } else {
        size_t portColon = authority.find(':');
        host = authority.substr(0, portColon);
        authority = portColon == std::string_view::npos ? std::string_view{} : authority.substr(portColon);
    }
    if (!authority.empty()) {  // ":port"
        std::string_view digits = authority.substr(1);
        if (digits.empty() || digits.size() > 5) return false;
        unsigned value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + unsigned(c - '0');
        }
        if (value == 0 || value > 65535) return false;
        port = uint16_t(value);
    }
    if (host.empty()) return false;
    address.scheme = scheme;
    address.host = Lower(host);
    address.port = port;
    return true;
}

bool RedirectAllowed(std::string_view from, std::string_view location, std::string& target) {
    HttpAddress origin;
    if (!ParseHttpAddress(from, origin) || location.empty()) return false;
    std::string resolved;
    if (location.find("://") != std::string_view::npos) {
        resolved = std::string(location);
    } else if (location.substr(0, 2) == "//") {
        resolved = origin.scheme + ":" + std::string(location);
    } else if (location.front() == '/') {
        size_t start = from.find("://") + 3;
        size_t pathStart = from.find_first_of("/?#", start);
        resolved = std::string(from.substr(0, pathStart)) + std::string(location);
    } else {
        // Relative to the folder of the current address.
        size_t start = from.find("://") + 3;
        std::string_view base = from.substr(0, from.find_first_of("?#", start));
        size_t slash = base.rfind('/');
        if (slash == std::string_view::npos || slash < start) {
            resolved = std::string(base) + "/" + std::string(location);
        } else {
            resolved = std::string(base.substr(0, slash + 1)) + std::string(location);
        }
    }
    HttpAddress next;
    if (!ParseHttpAddress(resolved, next)) return false;
    if (next.host != origin.host) return false;
    target = resolved;
    return true;
}

std::string_view HttpFailureText(HttpFailure failure) {
    switch (failure) {
        case HttpFailure::None: return "ok";
        case HttpFailure::BadUrl: return "not an http address";
        case HttpFailure::Connect: return "no connection";
        case HttpFailure::Timeout: return "timed out";
        case HttpFailure::Cancelled: return "cancelled";
        case HttpFailure::TooLarge: return "body too large";
        case HttpFailure::Redirect: return "redirect refused";
        case HttpFailure::Status: return "server refused";
        case HttpFailure::Transfer: return "transfer broken";
    }
    return "failed";
}

std::string TrickleText(const HttpLimits& limits) {
    return "timed out: fewer than " + std::to_string(limits.minWindowBytes) + " bytes in " +
           std::to_string(limits.rateWindowMs) + " ms";
}

}  // namespace orvalink
