// Fetching the upgrade files of a model from the upgrade server: the list
// file "upgrade_info2.txt", its fixed-column entries, the V files they name
// kept in the program folder's "Upgrade" folder, and handing what loads to
// the page that asked (or to the command line).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/VFileHeader.h"
#include "platform/HttpClient.h"

namespace orvalink {

class UiServices;

// One line of the list file.
struct UpgradeEntry {
    uint16_t entryType = 20;
    uint16_t major = 0;
    uint16_t minor = 0;
    // (year less 2000 when above 2000) * 10^8 + month * 10^6 + day * 10^4 +
    // hour * 100 + minute; 0 with hasDateTime false when the time's marker
    // is neither "a" nor "p".
    uint64_t dateTime = 0;
    bool hasDateTime = false;
    std::string displayName;  // up to 26 characters
    std::string fileName;     // up to 40 characters
};

inline constexpr size_t kUpgradeNameColumns = 26;
inline constexpr size_t kUpgradeFileNameLimit = 40;
// A body shorter than this counts as a file the server does not have.
inline constexpr size_t kUpgradeMinBody = 300;
// The largest MCU payload an upgrade takes.
inline constexpr size_t kUpgradeMaxMcuPayload = 66000;
// No V file a page loads is longer than two images and a little; a server
// sending more is refused.
inline constexpr uint64_t kUpgradeMaxBody = 2ull * kMaxImagePayload + (2u << 20);

// One line (without its line end) as an entry; nullopt when it yields none:
// 60 characters or fewer, a version without digits on either side of its
// last ".", or a file name longer than 40 characters.
std::optional<UpgradeEntry> ParseUpgradeLine(std::string_view line);
// Every entry of a list file (lines end with CR LF or LF).
std::vector<UpgradeEntry> ParseUpgradeList(std::string_view text);

// Whether a listed file name may be written inside the Upgrade folder: no
// path separator, no "..", no drive letter, no leading dot, not empty.
bool IsPlainUpgradeFileName(std::string_view name);

// The server's base location: ORVALINK_UPGRADE_URL when set (`environment`
// is its value, nullptr when unset), else the first line of the side file
// "upgrade_server.txt" in the program folder, else kDefaultUpgradeBase.
inline constexpr std::string_view kDefaultUpgradeBase = "http://www.tavero.com/downloads/upgrade";
inline constexpr std::string_view kUpgradeServerSideFile = "upgrade_server.txt";
std::string UpgradeBaseLocation(const std::filesystem::path& programFolder, const char* environment);

// What a fetch tells the window (or the command line) as it goes, and what
// it hands over of the files that loaded.
class UpgradeFetchView {
public:
    virtual ~UpgradeFetchView() = default;
    // The page's status line.
    virtual void FetchStatus(const std::string& text) = 0;
    // The byte counter: the body received so far.
    virtual void BytesReceived(uint64_t total) = 0;
    // A failed HTTP command: "Get Failed" (the window's caption), and why,
    // in a few words of ours (text from the server in it is escaped).
    virtual void CommandFailed(const std::string& text, const std::string& why) = 0;
    // A loaded vmcu file (payload not above kUpgradeMaxMcuPayload).
    virtual void TakeMcuFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                             const VFileHeader& header) = 0;
    // A loaded vmcf file; false when there is nowhere to put it (no image),
    // which ends the fetch with failure.
    virtual bool TakeFlashFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                               const VFileHeader& header) = 0;
    // The user's Cancel (the page's "CANCEL", Ctrl+C of the command line),
    // asked whenever a request's wait wakes; true ends the fetch.
    virtual bool Cancelled() { return false; }
};

struct UpgradeFetchSettings {
    std::string base;                      // the server's base location
    std::filesystem::path programFolder;   // files go to its "Upgrade" folder
    std::string displayName;               // the model chosen on the page
    HttpLimits limits{10000, 2000, kUpgradeMaxBody, 30000, 64u << 10};
};

// Gets `url` into `body`: the connection check against the same server, the
// GET with its growing time-out and its rate rule, and the 300-byte rule,
// each failure with its message box (a failed GET: CommandFailed with the
// reason). False leaves `body` untouched.
bool HttpGetToStream(HttpClient& http, UiServices& ui, UpgradeFetchView& view, const std::string& url,
                     const HttpLimits& limits, std::vector<uint8_t>& body);

// Whether a fetched or kept file is one the page takes, loaded as the page
// loads it: a V file that loads, and for a "vmcu" a payload of at most
// kUpgradeMaxMcuPayload bytes. `why` tells what is wrong with it.
bool UpgradeFileLoads(std::span<const uint8_t> file, std::string_view fileName, std::vector<uint8_t>& payload,
                      VFileHeader& header, std::string& why);

// The whole fetch; true only when an MCU file loaded during the run.
// The upgrade takes one program ("vmcu") and one flash file ("vmcf"): of the
// model's entries, the last listed of each extension is fetched (the page
// keeps the last file it loads), every other entry is skipped unread and
// named in a status line. A fetched file is kept in the Upgrade folder only
// when it loads; a kept file that no longer loads is removed and fetched
// again. Names from the list are shown with their control bytes escaped.
bool FetchUpgrade(HttpClient& http, UiServices& ui, UpgradeFetchView& view, const UpgradeFetchSettings& settings);

}  // namespace orvalink
