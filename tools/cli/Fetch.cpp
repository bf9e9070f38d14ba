// orvalink-cli fetch: the upgrade files of a model from the upgrade server
// into the Upgrade folder of a program folder, through the same fetch as
// the upgrade page's "Get data" button; status lines on stderr, a failed
// GET with its reason after the system's "Get Failed". Ctrl+C and SIGTERM
// end it as the page's CANCEL would (exit status 130 or 143).
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formats/ModelCatalogue.h"
#include "base/TextEscape.h"
#include "formats/VFileHeader.h"
#include "net/UpgradeFetch.h"
#include "platform/UiServices.h"
#include "tools/cli/CliCommands.h"

#if defined(ORVALINK_CLI_FETCH)
#include <cstdlib>

#include "platform/curl/CurlHttpClient.h"
#include "tools/cli/CancelSignals.h"
#endif

namespace orvalink {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int FetchUsage(const std::string& why) {
    std::cerr << "orvalink-cli: " << why << "\n"
              << "usage: orvalink-cli fetch --model NAME [--url BASE] [--folder DIR]\n";
    return kExitUsage;
}

#if defined(ORVALINK_CLI_FETCH)

// Message boxes become lines on stderr (their texts are the system's own).
class StderrMessages final : public UiServices {
public:
    MsgAnswer ShowMessage(const MessageRequest& request) override {
        std::cerr << request.text << "\n";
        return MsgAnswer::Ok;
    }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

// The page's status line and byte counter on stderr; what loaded on stdout.
// The statuses come with the list's names escaped already.
class PrintingView final : public UpgradeFetchView {
public:
    explicit PrintingView(const CancelSignals& signals) : signals_(signals) {}
    void FetchStatus(const std::string& text) override { std::cerr << text << "\n"; }
    void BytesReceived(uint64_t total) override { lastBytes_ = total; }
    void CommandFailed(const std::string& text, const std::string& why) override {
        std::cerr << text << (why.empty() ? "" : " (" + why + ")") << "\n";
    }
    bool Cancelled() override { return signals_.Cancelled(); }
    void TakeMcuFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                     const VFileHeader& header) override {
        Print("mcu", path, payload.size(), header);
    }
    bool TakeFlashFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                       const VFileHeader& header) override {
        Print("flash", path, payload.size(), header);
        return true;
    }

private:
    static void Print(const char* what, const std::filesystem::path& path, size_t length, const VFileHeader& header) {
        std::cout << what << ": " << EscapeControls(path.string()) << "\n"
                  << what << " model code: " << header.modelCode << "\n"
                  << what << " version: " << VersionText(header.versionWord) << "\n"
                  << what << " payload length: " << length << "\n";
    }
    const CancelSignals& signals_;
    uint64_t lastBytes_ = 0;
};

#endif

}  // namespace

int FetchCommand(const std::vector<std::string>& args) {
    std::optional<std::string> model, url, folder;
    for (size_t i = 0; i < args.size(); ++i) {
        std::optional<std::string>* slot = nullptr;
        if (args[i] == "--model") slot = &model;
        else if (args[i] == "--url") slot = &url;
        else if (args[i] == "--folder") slot = &folder;
        else return FetchUsage("unknown argument " + args[i]);
        if (i + 1 >= args.size() || args[i + 1].empty()) return FetchUsage(args[i] + " needs a value");
        if (*slot) return FetchUsage(args[i] + " given twice");
        *slot = args[++i];
    }
    if (!model) return FetchUsage("fetch needs --model NAME");
    uint16_t code = 0;
    std::string form;
    if (!ModelCodeOfDisplayName(*model, code, form)) return FetchUsage("unknown model " + *model);
#if defined(ORVALINK_CLI_FETCH)
    UpgradeFetchSettings settings;
    settings.programFolder = folder ? std::filesystem::path(*folder) : std::filesystem::path(".");
    settings.base = url ? *url : UpgradeBaseLocation(settings.programFolder, std::getenv("ORVALINK_UPGRADE_URL"));
    while (!settings.base.empty() && settings.base.back() == '/') settings.base.pop_back();
    settings.displayName = *model;
    CancelSignals signals;
    CurlHttpClient http(signals.WakeFd());
    StderrMessages ui;
    PrintingView view(signals);
    const bool ok = FetchUpgrade(http, ui, view, settings) && !signals.Cancelled();
    std::cerr << (ok ? "Download upgrade files OK !" : "Download upgrade files ERROR !") << "\n";
    if (signals.Cancelled()) {
        std::cerr << signals.Text() << "\n";
        return signals.ExitStatus();
    }
    return ok ? kExitOk : kExitFailed;
#else
    std::cerr << "orvalink-cli: this build has no HTTP client (libcurl); fetch is not available\n";
    return kExitFailed;
#endif
}

}  // namespace orvalink
