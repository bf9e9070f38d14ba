#include "net/UpgradeFetch.h"

#include <cctype>
#include <fstream>

#include "base/TextEscape.h"
#include "formats/FileIo.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFiles.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

std::string_view Trim(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Digits(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9') out += c;
    return out;
}

// A column of the line; empty when the line ends before it.
std::string_view Column(std::string_view line, size_t start, size_t width) {
    if (start >= line.size()) return {};
    return line.substr(start, width);
}

// The digits of a version part as a number; nullopt without digits. A
// number too long for 16 bits is not a version either.
std::optional<uint16_t> VersionPart(std::string_view text) {
    std::string digits = Digits(text);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned long value = std::stoul(digits);
    if (value > 0xFFFF) return std::nullopt;
    return uint16_t(value);
}

uint32_t Number(std::string_view digits) {
    uint32_t value = 0;
    for (char c : digits) value = value * 10 + uint32_t(c - '0');
    return value;
}

// The date-time number of the date and time texts; false when the time's
// marker is neither "a" nor "p" or the digits do not make a date and a time.
bool DateTimeNumber(std::string_view dateText, std::string_view timeText, uint64_t& number) {
    std::string date = Digits(dateText);
    std::string time = Digits(timeText);
    char marker = 0;
    for (char c : timeText) {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            marker = char(std::tolower(static_cast<unsigned char>(c)));
            break;
        }
    }
    if (marker != 'a' && marker != 'p') return false;
    // The date as year, month and day: eight digits (yyyymmdd) or six (yymmdd).
    if (date.size() != 8 && date.size() != 6) return false;
    size_t yearDigits = date.size() - 4;
    uint32_t year = Number(std::string_view(date).substr(0, yearDigits));
    uint32_t month = Number(std::string_view(date).substr(yearDigits, 2));
    uint32_t day = Number(std::string_view(date).substr(yearDigits + 2, 2));
    if (time.size() != 3 && time.size() != 4) return false;
    uint32_t hour = Number(std::string_view(time).substr(0, time.size() - 2));
    uint32_t minute = Number(std::string_view(time).substr(time.size() - 2));
    if (year > 2000) year -= 2000;
    if (marker == 'p') hour += 12;
    number = uint64_t(year) * 100000000ull + uint64_t(month) * 1000000ull + uint64_t(day) * 10000ull +
             uint64_t(hour) * 100ull + minute;
    return true;
}

bool HasExtension(std::string_view name, std::string_view extension) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    return SameNameIgnoringCase(name.substr(dot + 1), extension);
}

}  // namespace

std::optional<UpgradeEntry> ParseUpgradeLine(std::string_view line) {
    constexpr size_t kDateColumn = 26, kDateWidth = 12;
    constexpr size_t kTimeColumn = 38, kTimeWidth = 8;
    constexpr size_t kVersionColumn = 46, kVersionWidth = 9;
    constexpr size_t kFileColumn = 55;
    // The file name's column must hold more than 5 characters.
    if (line.size() <= kFileColumn + 5) return std::nullopt;
    std::string_view version = Trim(Column(line, kVersionColumn, kVersionWidth));
    size_t point = version.rfind('.');
    if (point == std::string_view::npos) return std::nullopt;
    std::optional<uint16_t> major = VersionPart(version.substr(0, point));
    std::optional<uint16_t> minor = VersionPart(version.substr(point + 1));
    if (!major || !minor) return std::nullopt;
    std::string_view fileName = Trim(line.substr(kFileColumn));
    // A name longer than the entry holds would name another file once cut.
    if (fileName.empty() || fileName.size() > kUpgradeFileNameLimit) return std::nullopt;

    UpgradeEntry entry;
    entry.major = *major;
    entry.minor = *minor;
    entry.displayName = std::string(Trim(Column(line, 0, kUpgradeNameColumns)));
    entry.fileName = std::string(fileName);
    entry.hasDateTime = DateTimeNumber(Column(line, kDateColumn, kDateWidth), Column(line, kTimeColumn, kTimeWidth),
                                       entry.dateTime);
    if (!entry.hasDateTime) entry.dateTime = 0;
    return entry;
}

std::vector<UpgradeEntry> ParseUpgradeList(std::string_view text) {
    std::vector<UpgradeEntry> entries;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (auto entry = ParseUpgradeLine(line)) entries.push_back(std::move(*entry));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return entries;
}

bool IsPlainUpgradeFileName(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    if (name.find_first_of("/\\") != std::string_view::npos) return false;
    if (name.find("..") != std::string_view::npos) return false;
    // A drive letter ("C:"), and any other colon with it (alternate streams).
    if (name.find(':') != std::string_view::npos) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

std::string UpgradeBaseLocation(const std::filesystem::path& programFolder, const char* environment) {
    auto clean = [](std::string_view text) {
        std::string out(Trim(text));
        while (!out.empty() && out.back() == '/') out.pop_back();
        return out;
    };
    if (environment && !clean(environment).empty()) return clean(environment);
    std::vector<uint8_t> bytes;
    if (ReadFileBytes(programFolder / std::string(kUpgradeServerSideFile), bytes, 4096)) {
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::string line = clean(text.substr(0, text.find('\n')));
        if (!line.empty()) return line;
    }
    return std::string(kDefaultUpgradeBase);
}

bool HttpGetToStream(HttpClient& http, UiServices& ui, UpgradeFetchView& view, const std::string& url,
                     const HttpLimits& limits, std::vector<uint8_t>& body) {
    if (url.empty()) {
        ui.Inform("URL string Error !", MsgIcon::Information);
        return false;
    }
    const HttpCancelled cancelled = [&view] { return view.Cancelled(); };
    // The connection check asks the server the file comes from.
    if (!http.CheckConnection(url, limits.timeoutMs, cancelled)) {
        if (view.Cancelled()) {
            view.CommandFailed("Get Failed", std::string(HttpFailureText(HttpFailure::Cancelled)));
            return false;
        }
        ui.Inform("Internet connection error ! \n Please check Internet is Ok!", MsgIcon::Information);
        return false;
    }
    HttpResponse response = http.Get(url, limits, [&](uint64_t total) { view.BytesReceived(total); }, cancelled);
    if (!response.Ok()) {
        view.CommandFailed("Get Failed", EscapeControls(response.why.empty() ? std::string(HttpFailureText(response.failure))
                                                                             : response.why));
        return false;
    }
    if (response.body.size() < kUpgradeMinBody) {
        ui.Inform("URL download file not found !", MsgIcon::Information);
        return false;
    }
    body = std::move(response.body);
    return true;
}

bool UpgradeFileLoads(std::span<const uint8_t> file, std::string_view fileName, std::vector<uint8_t>& payload,
                      VFileHeader& header, std::string& why) {
    why.clear();
    if (!LoadVFileFromBytes(file, payload, header, &why)) {
        if (why.empty()) why = "not a V file";
        return false;
    }
    if (HasExtension(fileName, "vmcu") && payload.size() > kUpgradeMaxMcuPayload) {
        why = "a program of " + std::to_string(payload.size()) + " bytes; the upgrade takes at most " +
              std::to_string(kUpgradeMaxMcuPayload);
        return false;
    }
    return true;
}

bool FetchUpgrade(HttpClient& http, UiServices& ui, UpgradeFetchView& view, const UpgradeFetchSettings& settings) {
    std::vector<uint8_t> listBody;
    if (!HttpGetToStream(http, ui, view, settings.base + "/upgrade_info2.txt", settings.limits, listBody)) {
        view.FetchStatus("Open URL Error!");
        return false;
    }
    view.FetchStatus("Open URL Ok!");
    std::vector<UpgradeEntry> entries =
        ParseUpgradeList(std::string_view(reinterpret_cast<const char*>(listBody.data()), listBody.size()));
    view.FetchStatus("Get URL upgrade information ok!");

    // The one entry of each extension that the upgrade takes: the last listed.
    size_t lastMcu = entries.size(), lastFlash = entries.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const UpgradeEntry& entry = entries[i];
        if (!SameNameIgnoringCase(entry.displayName, settings.displayName) || !IsPlainUpgradeFileName(entry.fileName))
            continue;
        if (HasExtension(entry.fileName, "vmcu")) lastMcu = i;
        else if (HasExtension(entry.fileName, "vmcf")) lastFlash = i;
    }

    const std::filesystem::path folder = settings.programFolder / "Upgrade";
    bool mcuLoaded = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const UpgradeEntry& entry = entries[i];
        if (!SameNameIgnoringCase(entry.displayName, settings.displayName)) continue;
        const std::string shown = EscapeControls(entry.fileName);
        if (!IsPlainUpgradeFileName(entry.fileName)) {
            // The name would reach outside the Upgrade folder.
            view.FetchStatus("Skip File " + shown + " (not a plain file name)!");
            continue;
        }
        const bool isMcu = HasExtension(entry.fileName, "vmcu");
        if (!isMcu && !HasExtension(entry.fileName, "vmcf")) {
            view.FetchStatus("Skip File " + shown + " (not a vmcu or vmcf file)!");
            continue;
        }
        if (i != (isMcu ? lastMcu : lastFlash)) {
            view.FetchStatus("Skip File " + shown + " (a later " + (isMcu ? "vmcu" : "vmcf") + " file is listed)!");
            continue;
        }
        if (view.Cancelled()) return false;
        const std::filesystem::path local = folder / entry.fileName;
        std::vector<uint8_t> payload;
        VFileHeader header;
        std::string why;
        std::error_code ec;
        bool loaded = false;
        if (std::filesystem::exists(local, ec)) {
            std::vector<uint8_t> kept;
            loaded = ReadFileBytes(local, kept, kUpgradeMaxBody, &why) &&
                     UpgradeFileLoads(kept, entry.fileName, payload, header, why);
            if (!loaded) {
                // A kept file that does not load would be believed for ever:
                // it goes, and the server's copy is fetched again.
                std::filesystem::remove(local, ec);
                view.FetchStatus("Remove File " + shown + " (" + EscapeControls(why) + ")!");
            }
        }
        if (!loaded) {
            std::vector<uint8_t> body;
            if (!HttpGetToStream(http, ui, view, settings.base + "/" + entry.fileName, settings.limits, body)) {
                view.FetchStatus("DownLoad File " + shown + " Error!");
                return false;
            }
            if (!UpgradeFileLoads(body, entry.fileName, payload, header, why)) {
                // Checked before it is kept: the folder never holds a file
                // the page cannot load.
                view.FetchStatus("Skip File " + shown + " (" + EscapeControls(why) + "; not kept)!");
                if (isMcu && !why.empty() && payload.size() > kUpgradeMaxMcuPayload) return false;
                continue;
            }
            std::filesystem::create_directories(folder, ec);
            // Written beside its name and renamed when whole, so a broken
            // write never leaves a file a later fetch would reuse.
            if (!ReplaceFileBytes(local, body, &why)) {
                view.FetchStatus("DownLoad File " + shown + " Error! (" + EscapeControls(why) + ")");
                return false;
            }
        }
        if (isMcu) {
            view.TakeMcuFile(local, std::move(payload), header);
            mcuLoaded = true;
        } else if (!view.TakeFlashFile(local, std::move(payload), header)) {
            return false;
        }
    }
    return mcuLoaded;
}

}  // namespace orvalink
