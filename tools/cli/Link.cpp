// orvalink-cli download and upload: the main window's Download and Upload
// over the link engine, for scripts and service benches. It needs no toolkit:
// the port is a POSIX terminal and the waits poll() on it, so it runs on a
// headless service machine. The port is named on the command line; the
// progress gauge and the system's message boxes are written to stderr.
#include <iostream>
#include <string>

#include "tools/cli/CancelSignals.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/TemporaryFolder.h"

#if defined(ORVALINK_CLI_LINK)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "formats/FileIo.h"
#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "image/ImageRegions.h"
#include "image/Tiflashut.h"
#include "tools/cli/VerifyLines.h"
#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "link/Transtatus.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/UiServices.h"
#include "platform/linux/PollEventPump.h"
#include "platform/linux/PosixSerialPort.h"
#include "platform/linux/SysfsRegistry.h"
#include "tools/cli/CancelWatch.h"
#endif

namespace orvalink {

#if defined(ORVALINK_CLI_LINK)

bool CanLink() { return true; }

namespace {

// The COM number the named port takes in the registry view.
constexpr int kCliComNumber = 3;
// The model code documents are written for.
constexpr uint16_t kDocumentModelCode = 2000;
// How often the gauge is written, in blocks.
constexpr int kGaugeStep = 50;

// Message boxes become lines on stderr; every box is answered with its
// first, affirmative button, as a user pressing Enter would (a Retry box is
// cancelled, so nothing retries for ever unattended).
class StderrUiServices final : public UiServices {
public:
    MsgAnswer ShowMessage(const MessageRequest& request) override {
        std::cerr << request.text << "\n";
        switch (request.buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel: return MsgAnswer::Ok;
        case MsgButtons::Yes:
        case MsgButtons::YesNo:
        case MsgButtons::YesCancel:
        case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
        case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
        case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
        }
        return MsgAnswer::Ok;
    }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

// The progress dialog as gauge lines on stderr: the status text when it
// opens, then "block N/1013" every kGaugeStep blocks and at the last one.
// Nobody is there to press OK, so it counts as closed at once.
class StderrProgress final : public TransferProgress {
public:
    void Open(const std::string& status, int /*maximum*/) override {
        std::cerr << status << "\n";
        shown_ = -1;
    }
    void SetPosition(int position) override {
        const bool last = position + 1 >= kConfigBlocks && shown_ + 1 < kConfigBlocks;
        if (!last && position < shown_ + kGaugeStep) return;
        std::cerr << "block " << position + 1 << "/" << kConfigBlocks << "\n";
        shown_ = position;
    }
    void Succeeded() override {}
    bool Closed() const override { return true; }
    void Release() override {}

private:
    int shown_ = -1;
};

// Everything a transfer needs, with the named port as the only adapter the
// registry view knows: an empty sysfs keeps real adapters out of it.
// Ctrl+C and SIGTERM are the progress dialog's Cancel: userAbort is set.
struct LinkRig {
    LinkRig(const std::string& portPath, CancelSignals& signals, LinkTrace& trace)
        : registry(sysRoot.Path()),
          port([this](int n) { return registry.PortPath(n); }, pump),
          link(port, pump, registry, ui, clock, view, trace),
          transfers(link, flash),
          cancel(signals, pump, [this] { link.SetUserAbort(true); }) {
        registry.AddPort(portPath, kCliComNumber);
    }
    TemporaryFolder sysRoot;
    SysfsRegistry registry;
    PollEventPump pump;
    PosixSerialPort port;
    StderrUiServices ui;
    SystemClock clock;
    LinkView view;
    LinkEngine link;
    TTiFlashFm flash;
    Transfers transfers;
    StderrProgress progress;
    CancelWatch cancel;
};

// A command ended by the user's signal: the system's words have been said;
// the line that says which signal, and 130 or 143.
int Cancelled(const CancelSignals& signals) {
    std::cerr << signals.Text() << "\n";
    return signals.ExitStatus();
}

// The named port is a terminal (a serial line, an adapter's or a pseudo-
// terminal): anything else is refused before the link opens it, with the
// reason.
bool PortUsable(const std::string& portPath) {
    struct stat st;
    if (::stat(portPath.c_str(), &st) != 0) {
        if (errno == ENOENT) std::cerr << "orvalink-cli: no such port: " << portPath << "\n";
        else std::cerr << "orvalink-cli: " << portPath << ": " << std::strerror(errno) << "\n";
        return false;
    }
    bool terminal = false;
    if (S_ISCHR(st.st_mode)) {
        // Opened without waiting for a carrier and without becoming our
        // controlling terminal; closed again at once.
        const int fd = ::open(portPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::cerr << "orvalink-cli: " << portPath << ": " << std::strerror(errno) << "\n";
            return false;
        }
        terminal = ::isatty(fd) == 1;
        ::close(fd);
    }
    if (!terminal) std::cerr << "orvalink-cli: " << portPath << ": not a serial port\n";
    return terminal;
}

// The factory document: bk/default_.vmcf in the current folder, else in the
// program folder beside the executable (installed) or of the build tree.
std::string FindFactoryDocument() {
    const std::string exeDir = ExecutableFolder();
    const std::vector<std::string> candidates = {
        "bk/default_.vmcf",
        exeDir + "/bk/default_.vmcf",
        exeDir + "/../program/bk/default_.vmcf",
    };
    for (const std::string& path : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(PathFromUtf8(path), ec)) return path;
    }
    return {};
}

// The pages a download does not touch start as the factory document, as
// they do when the start dialog downloads.
void LoadFactoryDocument(TTiFlashFm& flash) {
    const std::string path = FindFactoryDocument();
    if (path.empty()) {
        std::cerr << "orvalink-cli: no factory document (bk/default_.vmcf); the pages the download does not "
                     "fill stay erased\n";
        return;
    }
    if (!LoadDocumentImage(path, flash))
        std::cerr << "orvalink-cli: the pages the download does not fill stay erased\n";
}

}  // namespace

int DownloadCommand(const std::string& portPath, const std::string& out, LinkTrace& trace) {
    CancelSignals signals;
    // The document is written only after the whole transfer: a folder that
    // cannot take it is found out before the transfer starts.
    std::string why;
    if (!CanReplaceFile(PathFromUtf8(out), &why)) {
        std::cerr << "orvalink-cli: cannot write " << out << ": " << why << "\n";
        return 1;
    }
    if (!PortUsable(portPath)) return 1;
    LinkRig rig(portPath, signals, trace);
    if (!rig.sysRoot.IsValid()) {
        std::cerr << "orvalink-cli: cannot make a temporary folder\n";
        return 1;
    }
    LoadFactoryDocument(rig.flash);
    rig.link.SetUserAbort(signals.Cancelled());
    const TransferOutcome outcome = rig.transfers.DownloadFromRemote(rig.progress);
    rig.link.CloseLinkPort();
    // A download the user cancelled writes nothing, even when its last
    // block was in.
    if (!outcome.Ok() || signals.Cancelled()) {
        ShowReports(rig.ui, DownloadReports(outcome.Ok() ? TransferOutcome{TransferResult::Broken, {}, MsgIcon::None} : outcome,
                                            signals.Cancelled()));
        return signals.Cancelled() ? Cancelled(signals) : 1;
    }
    Pcg32Random random;
    const DocumentOutcome saved = SaveImageAsDocument(rig.flash, kDocumentModelCode, out, rig.clock, random);
    if (!saved.Ok()) {
        if (!saved.why.empty()) std::cerr << "orvalink-cli: " << out << ": " << saved.why << "\n";
        rig.ui.Inform(saved.message, saved.icon);
        return 1;
    }
    ShowReports(rig.ui, DownloadReports(outcome, false));
    std::cout << "document: " << out << "\n";
    return 0;
}

int UploadCommand(const std::string& portPath, const std::string& in, LinkTrace& trace, bool verify) {
    CancelSignals signals;
    if (!PortUsable(portPath)) return 1;
    LinkRig rig(portPath, signals, trace);
    if (!rig.sysRoot.IsValid()) {
        std::cerr << "orvalink-cli: cannot make a temporary folder\n";
        return 1;
    }
    if (!LoadDocumentImage(in, rig.flash)) return 1;
    rig.link.SetUserAbort(signals.Cancelled());
    const UploadOutcome outcome = rig.transfers.UploadAndVerify(rig.progress, kKindWhole, verify);
    rig.link.CloseLinkPort();
    // A cancelled upload ends as the main window words it: "Upload Flash
    // Data Error !".
    const UploadWords words = VerifiedUploadReports(outcome, rig.flash);
    ShowReports(rig.ui, words.reports);
    if (!words.again.empty()) {
        // No one is there to answer "Upload again?": the failure and, a line
        // each, the pages and what they hold.
        std::cerr << VerifyFailedText(rig.flash, outcome.verify) << "\n";
        PrintDifferingPages(std::cerr, rig.flash, outcome.verify);
    }
    if (signals.Cancelled()) return Cancelled(signals);
    return outcome.Ok() ? 0 : 1;
}

#else

bool CanLink() { return false; }

namespace {
int NoLink(const char* command) {
    std::cerr << "orvalink-cli: this build has no serial link (" << command
              << " needs the Linux platform layer)\n";
    return 1;
}
}  // namespace

int DownloadCommand(const std::string&, const std::string&, LinkTrace&) { return NoLink("download"); }
int UploadCommand(const std::string&, const std::string&, LinkTrace&, bool) { return NoLink("upload"); }

#endif

}  // namespace orvalink
