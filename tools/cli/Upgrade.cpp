// orvalink-cli upgrade and backup: the upgrade page's "Upgrade" and "Backup"
// for service benches, through the same routines. The remote's switch must
// be at "PROG" for the program step, as the page's reminders say. Progress
// goes to stderr as "<what> N/M" lines, the system's messages as lines too.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formats/ModelCatalogue.h"
#include "tools/cli/CancelSignals.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CliTrace.h"
#include "tools/cli/TemporaryFolder.h"

#if defined(ORVALINK_CLI_LINK)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/Documents.h"
#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "formats/VFileHeader.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Upgrade.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/UiServices.h"
#include "platform/linux/PollEventPump.h"
#include "platform/linux/PosixSerialPort.h"
#include "platform/linux/SysfsRegistry.h"
#include "tools/cli/CancelWatch.h"
#include "tools/cli/VerifyLines.h"
#endif

namespace orvalink {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& why) {
    std::cerr << "orvalink-cli: " << why << "\n"
              << "usage:\n"
                 "  orvalink-cli upgrade --port PATH --model NAME|CODE [--mcu FILE.vmcu] [--flash FILE.vmcf]\n"
                 "                       [--kind all|code] [--verify|--no-verify]\n"
                 "  orvalink-cli backup --port PATH --model NAME|CODE OUT.vmcf\n";
    return kExitUsage;
}

// A model code as a number, a file-name form ("QM-5100") or a display name.
std::optional<uint16_t> ParseModel(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end && *end == '\0') {
        std::string name;
        if (v >= 0 && v <= 0xFFFF && ModelName(uint16_t(v), name)) return uint16_t(v);
        return std::nullopt;
    }
    uint16_t code = 0;
    if (ModelCodeOf(text, code)) return code;
    std::string form;
    if (ModelCodeOfDisplayName(text, code, form)) return code;
    return std::nullopt;
}

}  // namespace

#if defined(ORVALINK_CLI_LINK)

namespace {

constexpr int kCliComNumber = 3;
constexpr uint16_t kVmcuKind = kKindVmcu;
constexpr uint16_t kVmcfKind = kKindVmcf;

class StderrUi final : public UiServices {
public:
    MsgAnswer ShowMessage(const MessageRequest& request) override {
        std::cerr << request.text << "\n";
        return request.buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel
               : request.buttons == MsgButtons::AbortRetryIgnore ? MsgAnswer::Abort
               : (request.buttons == MsgButtons::Ok || request.buttons == MsgButtons::OkCancel) ? MsgAnswer::Ok
                                                                                                 : MsgAnswer::Yes;
    }
    std::optional<std::string> ChooseFile(const FileDialogRequest&) override { return std::nullopt; }
};

// The gauge as lines: "progress N/M", about every tenth of the way.
class StderrGauge final : public LinkView {
public:
    void ProgressRange(int maximum) override {
        maximum_ = maximum;
        shown_ = -1;
    }
    void ProgressChanged(int position) override {
        if (maximum_ <= 0 || position <= 0) return;
        const int step = std::max(1, maximum_ / 10);
        if (position < shown_ + step && position < maximum_) return;
        std::cerr << "progress " << position << "/" << maximum_ << "\n";
        shown_ = position;
    }
    void StatusMessage(const std::string& text) override { std::cerr << text << "\n"; }

private:
    int maximum_ = 0;
    int shown_ = -1;
};

// Ctrl+C and SIGTERM are the page's CANCEL: userAbort set, linkStatus 9,
// progress 0.
struct UpgradeRig {
    UpgradeRig(const std::string& portPath, CancelSignals& signals, LinkTrace& trace)
        : registry(sysRoot.Path()),
          port([this](int n) { return registry.PortPath(n); }, pump),
          link(port, pump, registry, ui, clock, view, trace),
          upgrader(link, flash, buffers),
          cancel(signals, pump, [this] {
              link.SetUserAbort(true);
              link.SetLinkStatus(kLinkFailed);
              link.SetProgress(0);
          }) {
        registry.AddPort(portPath, kCliComNumber);
    }
    TemporaryFolder sysRoot;
    SysfsRegistry registry;
    PollEventPump pump;
    PosixSerialPort port;
    StderrUi ui;
    SystemClock clock;
    StderrGauge view;
    LinkEngine link;
    TTiFlashFm flash;
    UpgradeBuffers buffers;
    Upgrader upgrader;
    CancelWatch cancel;
};

// A command ended by the user's signal, after the system's words.
int Cancelled(const CancelSignals& signals) {
    std::cerr << signals.Text() << "\n";
    return signals.ExitStatus();
}

bool IsTerminal(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        std::cerr << "orvalink-cli: " << path << ": not a serial port\n";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::cerr << "orvalink-cli: " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    const bool tty = ::isatty(fd) == 1;
    ::close(fd);
    if (!tty) std::cerr << "orvalink-cli: " << path << ": not a serial port\n";
    return tty;
}

// A V file of the given kind; its payload.
bool LoadKind(const std::string& path, uint16_t kind, std::vector<uint8_t>& payload) {
    VFileHeader header;
    std::string why;
    if (!LoadVFile(PathFromUtf8(path), payload, header, &why)) {
        std::cerr << "orvalink-cli: " << path << ": " << (why.empty() ? "not a readable V file" : why) << "\n";
        return false;
    }
    if (header.kindCode != kind) {
        std::cerr << "orvalink-cli: " << path << ": a kind " << header.kindCode << " file, not " << kind << "\n";
        return false;
    }
    return true;
}

void Show(UiServices& ui, const std::vector<LinkReport>& reports) {
    for (const auto& r : reports) ui.Inform(r.text, r.icon);
}

int RunUpgrade(const std::string& portPath, uint16_t model, const std::optional<std::string>& mcu,
               const std::optional<std::string>& flashFile, int kind, bool verify, CancelSignals& signals,
               LinkTrace& trace) {
    const UpgradeSteps steps = UpgradeStepsFor(model);
    if (!steps.supported) {
        std::cerr << "orvalink-cli: model " << model << " is upgraded over the older packet protocol, which this "
                     "command does not speak\n";
        return kExitFailed;
    }
    if (flashFile && !steps.writesFlash) {
        std::cerr << "orvalink-cli: model " << model << " takes a program only\n";
        return kExitUsage;
    }
    if (!IsTerminal(portPath)) return kExitFailed;
    UpgradeRig rig(portPath, signals, trace);
    if (!rig.sysRoot.IsValid()) {
        std::cerr << "orvalink-cli: cannot make a temporary folder\n";
        return kExitFailed;
    }
    // Both files are read before anything is sent.
    if (mcu) {
        std::vector<uint8_t> program;
        if (!LoadKind(*mcu, kVmcuKind, program)) return kExitFailed;
        if (!rig.buffers.SetProgram(program)) {
            std::cerr << "orvalink-cli: " << *mcu << ": a program of " << program.size()
                      << " bytes does not fit the MCU buffer (1 to " << kMcuBufferBytes << " bytes)\n";
            return kExitFailed;
        }
    }
    if (flashFile) {
        rig.flash.SelectModel(Is2300Family(model) ? kSelector2300 : kSelector5100);
        std::vector<uint8_t> payload;
        if (!LoadKind(*flashFile, kVmcfKind, payload)) return kExitFailed;
        auto image = rig.flash.Image();
        if (payload.size() > image.size()) {
            std::cerr << "orvalink-cli: " << *flashFile << ": larger than this model's flash\n";
            return kExitFailed;
        }
        std::copy(payload.begin(), payload.end(), image.begin());
    }
    // The routines clear userAbort as they end; the signal's note stays.
    auto cancelled = [&] { return signals.Cancelled(); };
    if (cancelled()) {
        rig.ui.Inform("Transfer broken !", MsgIcon::Information);
        return Cancelled(signals);
    }
    rig.link.SetUserAbort(false);
    if (mcu) {
        std::cerr << "program: " << ButtonInfo(steps.program).caption << "\n";
        const TransferOutcome outcome = RunUpgradeButton(rig.upgrader, steps.program);
        if (outcome.kind == TransferResult::NoPort) return cancelled() ? Cancelled(signals) : kExitFailed;
        if (!outcome.Ok() || cancelled()) {
            const bool broken = outcome.kind == TransferResult::Broken || cancelled();
            rig.ui.Inform(broken ? "Transfer broken !" : std::string(steps.programError),
                          broken ? MsgIcon::Information : MsgIcon::Error);
            return cancelled() ? Cancelled(signals) : kExitFailed;
        }
        Show(rig.ui, UpgradeButtonReports(steps.program, outcome));
        if (!flashFile) return kExitOk;
        rig.pump.WaitTicks(kProgramToFlashPauseMs);
        if (cancelled()) {
            rig.ui.Inform("Transfer broken !", MsgIcon::Information);
            return Cancelled(signals);
        }
    }
    rig.buffers.kind = kind;
    // The flash write reads its pages back and compares them.
    rig.buffers.verify = verify;
    std::cerr << "flash: " << ButtonInfo(steps.flash).caption << "\n";
    const TransferOutcome outcome = RunUpgradeButton(rig.upgrader, steps.flash);
    Show(rig.ui, UpgradeButtonReports(steps.flash, outcome));
    // A difference: after the message, the pages a line each and what they hold.
    for (const VerifyOutcome* v : {&rig.upgrader.FlashTransfers().LastWriteVerify(), &rig.upgrader.LastTiVerify()})
        if (!outcome.Ok() && v->result == VerifyResult::Differ) PrintDifferingPages(std::cerr, rig.flash, *v);
    if (cancelled()) return Cancelled(signals);
    return outcome.Ok() ? kExitOk : kExitFailed;
}

int RunBackup(const std::string& portPath, uint16_t model, const std::string& out, CancelSignals& signals,
              LinkTrace& trace) {
    std::string why;
    if (!CanReplaceFile(PathFromUtf8(out), &why)) {
        std::cerr << "orvalink-cli: cannot write " << out << ": " << why << "\n";
        return kExitFailed;
    }
    if (!IsTerminal(portPath)) return kExitFailed;
    UpgradeRig rig(portPath, signals, trace);
    if (!rig.sysRoot.IsValid()) {
        std::cerr << "orvalink-cli: cannot make a temporary folder\n";
        return kExitFailed;
    }
    rig.link.SetUserAbort(signals.Cancelled());
    const BackupResult backup = BackupRemote(rig.upgrader, model);
    // A backup the user cancelled writes nothing, even when its last block was in.
    if (signals.Cancelled()) {
        if (backup.outcome.Ok() || backup.outcome.kind == TransferResult::NoPort)
            rig.ui.Inform("Download transfer broken !", MsgIcon::Information);
        else
            Show(rig.ui, backup.reports);
        return Cancelled(signals);
    }
    Show(rig.ui, backup.reports);
    if (!backup.outcome.Ok()) return kExitFailed;
    // As the page keeps it: a document of a 5100-family image, the whole
    // flash of the others under the remote's own model code.
    Pcg32Random random;
    const DocumentOutcome doc = SaveBackupDocument(model, backup.bytes, out, rig.clock, random);
    const bool saved = doc.Ok();
    if (!saved && !doc.why.empty()) std::cerr << "orvalink-cli: " << out << ": " << doc.why << "\n";
    rig.ui.Inform(saved ? "Backup VMCF file Ok !" : "Backup VMCF file Error !",
                  saved ? MsgIcon::Information : MsgIcon::Error);
    if (saved) std::cout << "document: " << out << "\n";
    return saved ? kExitOk : kExitFailed;
}

}  // namespace

#endif

int UpgradeCommand(const std::string& command, const std::vector<std::string>& args) {
    std::optional<std::string> port, model, mcu, flash, kindText, file, traceFile;
    bool verify = true;
    for (size_t i = 0; i < args.size(); ++i) {
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size() || args[i + 1].empty() || into) return false;
            into = args[++i];
            return true;
        };
        const std::string& a = args[i];
        bool ok = true;
        if (a == "--port") ok = value(port);
        else if (a == "--model") ok = value(model);
        else if (a == "--trace") ok = value(traceFile);
        else if (command == "upgrade" && a == "--mcu") ok = value(mcu);
        else if (command == "upgrade" && a == "--flash") ok = value(flash);
        else if (command == "upgrade" && a == "--kind") ok = value(kindText);
        else if (command == "upgrade" && (a == "--verify" || a == "--no-verify")) verify = a == "--verify";
        else if (a.size() > 1 && a[0] == '-') return UsageError("unknown option " + a);
        else if (command == "backup" && !file && !a.empty()) file = a;
        else return UsageError(command + ": unexpected " + a);
        if (!ok) return UsageError(a + " needs one value");
    }
    if (!port || !model) return UsageError(command + " needs --port PATH and --model NAME|CODE");
    const std::optional<uint16_t> code = ParseModel(*model);
    if (!code) return UsageError("unknown model " + *model);
#if defined(ORVALINK_CLI_LINK)
    CancelSignals signals;
    // The trace is no file the command reads or writes otherwise.
    if (traceFile) {
        for (const auto& other : {file, mcu, flash})
            if (other && (*other == *traceFile || IsSameFile(PathFromUtf8(*other), PathFromUtf8(*traceFile))))
                return UsageError("--trace " + *traceFile + " is " + *other + "; name another file");
    }
    if (command == "backup") {
        if (!file) return UsageError("backup needs OUT.vmcf");
        CliTrace trace;
        if (traceFile && !trace.Begin(*traceFile)) return kExitFailed;
        return trace.End(RunBackup(*port, *code, *file, signals, trace.Recorder()));
    }
    int kind = kKindWhole;
    if (kindText && *kindText == "code") kind = kKindPartial;
    else if (kindText && *kindText != "all") return UsageError("--kind is all or code");
    if (!mcu && !flash) return UsageError("upgrade needs --mcu FILE.vmcu, --flash FILE.vmcf or both");
    CliTrace trace;
    if (traceFile && !trace.Begin(*traceFile)) return kExitFailed;
    return trace.End(RunUpgrade(*port, *code, mcu, flash, kind, verify, signals, trace.Recorder()));
#else
    std::cerr << "orvalink-cli: this build has no serial link (" << command
              << " needs the Linux platform layer)\n";
    return kExitFailed;
#endif
}

}  // namespace orvalink
