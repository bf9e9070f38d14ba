// orvalink-cli: a command-line companion for scripting and service work.
// Output is stable "key: value" lines; exit 0 on success, 1 when a file
// cannot be read or written, 2 on a usage error.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextEscape.h"
#include "formats/FileIo.h"
#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "image/DeviceTree.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CliTrace.h"

using namespace orvalink;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr uint64_t kMaxInputBytes = 64ull << 20;

const char kUsage[] =
    "usage:\n"
    "  orvalink-cli info FILE\n"
    "  orvalink-cli extract FILE OUT\n"
    "  orvalink-cli pack IN OUT --kind 100|101|102|103 --model CODE [--version X.YY]\n"
    "  orvalink-cli devices FILE\n"
    "  orvalink-cli codes FILE CODE [KEY] [--pronto]\n"
    "  orvalink-cli codes --sbin IN.sbin [--pronto]\n"
    "  orvalink-cli codes --from-pronto TEXT|- OUT.sbin\n"
    "  orvalink-cli codes make --protocol NAME --device N [--subdevice N] --function N [--toggle] [--vendor N] OUT.sbin|--pronto\n"
    "  orvalink-cli codes import FILE DOC --device NAME [--map FILE] OUT\n"
    "  orvalink-cli codes export DOC --device NAME --format ir|lirc|pronto OUT\n"
    "  orvalink-cli render FILE SLOT OUT.png\n"
    "  orvalink-cli diff A B\n"
    "  orvalink-cli download --port PATH [--trace FILE] OUT.vmcf\n"
    "  orvalink-cli upload --port PATH [--verify|--no-verify] [--trace FILE] IN.vmcf\n"
    "  orvalink-cli fetch --model NAME [--url BASE] [--folder DIR]\n"
    "  orvalink-cli upgrade --port PATH --model NAME|CODE [--mcu FILE.vmcu] [--flash FILE.vmcf] [--kind all|code] [--verify|--no-verify] [--trace FILE]\n"
    "  orvalink-cli backup --port PATH --model NAME|CODE [--trace FILE] OUT.vmcf\n"
    "  orvalink-cli trace FILE\n"
    "  orvalink-cli sec FILE --kind mcf|mod|sdc\n"
    "  orvalink-cli unsec FILE\n"
    "  orvalink-cli xfile make IN --kind mcf|mcu|irc --model NAME [--version X.YY]\n"
    "  orvalink-cli xfile read FILE OUT\n"
    "  orvalink-cli sbin make IN --source mcu|image [--vc N]\n"
    "  orvalink-cli sbin read FILE OUT\n"
    "  orvalink-cli --help | --version\n";

int Usage(const std::string& why = {}) {
    if (!why.empty()) std::cerr << "orvalink-cli: " << why << "\n";
    std::cerr << kUsage;
    return kExitUsage;
}

int Fail(const std::string& message) {
    std::cerr << message << "\n";
    return kExitFailed;
}

// An output that is the input: a mistake on the command line, refused
// before anything is read or written.
int SameFile(const std::string& in, const std::string& out) {
    std::cerr << "orvalink-cli: " << SameFileText(in, out) << "\n";
    return kExitUsage;
}

// The main window's words for a document that does not load, and the
// reason where the file layer knows one.
int LoadError(const std::string& path, const std::string& why = {}) {
    if (!why.empty()) std::cerr << "orvalink-cli: " << path << ": " << why << "\n";
    return Fail("Load V File error ! \n\nPath: " + path);
}

int ReadError(const std::string& path, const std::string& why) {
    if (!why.empty()) std::cerr << "orvalink-cli: " << path << ": " << why << "\n";
    return Fail("Read file error ! \n\nPath: " + path);
}

bool ParseNumber(std::string_view text, uint16_t& value) {
    if (text.empty() || text.size() > 5) return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + unsigned(c - '0');
    }
    if (v > 0xFFFF) return false;
    value = uint16_t(v);
    return true;
}

int Info(const std::string& path) {
    std::vector<uint8_t> payload;
    VFileHeader header;
    std::string why;
    if (!LoadVFile(PathFromUtf8(path), payload, header, &why)) return LoadError(path, why);
    std::string name;
    if (!ModelName(header.modelCode, name)) name = FieldText(header.modelName);
    // The header's texts come from the file: shown with control bytes escaped.
    std::cout << "kind: " << header.kindCode << "\n"
              << "extension: " << EscapeControls(FieldText(header.extensionText)) << "\n"
              << "model: " << header.modelCode << "\n"
              << "model name: " << EscapeControls(name) << "\n"
              << "version: " << VersionText(header.versionWord) << "\n"
              << "payload length: " << header.payloadLength << "\n"
              << "entry: " << EscapeControls(EntryNameOf(header)) << "\n";
    return kExitOk;
}

int Extract(const std::string& path, const std::string& out) {
    if (IsSameFile(PathFromUtf8(path), PathFromUtf8(out))) return SameFile(path, out);
    std::vector<uint8_t> payload;
    VFileHeader header;
    std::string why;
    if (!LoadVFile(PathFromUtf8(path), payload, header, &why)) return LoadError(path, why);
    if (!ReplaceFileBytes(PathFromUtf8(out), payload, &why)) return WriteError(out, why);
    std::cout << "payload length: " << payload.size() << "\n";
    return kExitOk;
}

int Pack(const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("pack needs IN and OUT");
    std::optional<uint16_t> kind, model;
    uint16_t version = 0;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return Usage(args[i] + " needs a value");
        const std::string& opt = args[i];
        const std::string& value = args[i + 1];
        uint16_t number = 0;
        if (opt == "--kind") {
            if (!ParseNumber(value, number) || number < kKindVmcf || number > kKindVirc)
                return Usage("--kind takes 100, 101, 102 or 103");
            kind = number;
        } else if (opt == "--model") {
            if (!ParseNumber(value, number)) return Usage("--model takes a model code");
            model = number;
        } else if (opt == "--version") {
            if (ParseTypedVersion(value, version) != TypedVersion::Ok)
                return Usage("--version takes a version such as 1.05");
        } else {
            return Usage("unknown option " + opt);
        }
    }
    if (!kind || !model) return Usage("pack needs --kind and --model");
    std::string name;
    if (!ModelName(*model, name)) return Usage("model code " + std::to_string(*model) + " is not in the catalogue");

    if (IsSameFile(PathFromUtf8(args[0]), PathFromUtf8(args[1]))) return SameFile(args[0], args[1]);

    std::vector<uint8_t> payload;
    std::string why;
    if (!ReadFileBytes(PathFromUtf8(args[0]), payload, kMaxInputBytes, &why)) return ReadError(args[0], why);
    if (payload.size() > MaxPayloadOfKind(*kind)) {
        std::cerr << "orvalink-cli: " << args[0] << " is " << payload.size() << " bytes; a kind " << *kind
                  << " file holds at most " << MaxPayloadOfKind(*kind) << "\n";
        return Fail("Make V File Error ! \n\nPath: " + args[1]);
    }
    VFileHeader header;
    if (!FillVFileHeader(*kind, *model, version, header)) return Fail("Please Select Model first !");
    SetSingleName(header, name + "_");
    SystemClock clock;
    Pcg32Random random;
    if (!SaveVFile(PathFromUtf8(args[1]), payload, header, clock, random, &why)) {
        if (!why.empty()) std::cerr << "orvalink-cli: " << args[1] << ": " << why << "\n";
        return Fail("Make V File Error ! \n\nPath: " + args[1]);
    }
    std::cout << "file length: " << header.fileLength << "\n"
              << "payload length: " << header.payloadLength << "\n";
    return kExitOk;
}

int Devices(const std::string& path) {
    TTiFlashFm flash;
    if (!LoadDocumentImage(path, flash)) return kExitFailed;
    std::cout << "Home\n";
    for (const DeviceTreeNode& node : BuildDeviceTree(flash))
        std::cout << std::string(2 * size_t(node.depth), ' ') << int(node.key.link) << " " << EscapeControls(node.text)
                  << "\n";
    std::cout << "Macro\n";
    return kExitOk;
}

// download/upload: "--port PATH", "--trace FILE" and one file, in any
// order; upload also takes --verify (the default) or --no-verify.
int Transfer(const std::string& command, const std::vector<std::string>& args) {
    std::optional<std::string> port, file, traceFile;
    bool verify = true;
    for (size_t i = 0; i < args.size(); ++i) {
        if (command == "upload" && (args[i] == "--verify" || args[i] == "--no-verify")) {
            verify = args[i] == "--verify";
        } else if (args[i] == "--port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("--port needs a path");
            if (port) return Usage("--port given twice");
            port = args[++i];
        } else if (args[i] == "--trace") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("--trace needs a file");
            if (traceFile) return Usage("--trace given twice");
            traceFile = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage("unknown option " + args[i]);
        } else {
            if (file || args[i].empty()) return Usage(command + " takes one file");
            file = args[i];
        }
    }
    if (!port || !file) return Usage(command + " needs --port PATH and a file");
    if (traceFile && (*traceFile == *file || IsSameFile(PathFromUtf8(*traceFile), PathFromUtf8(*file))))
        return Usage("--trace " + *traceFile + " is the document " + *file + "; name another file");
    CliTrace trace;
    if (traceFile && !trace.Begin(*traceFile)) return kExitFailed;
    return trace.End(command == "download" ? DownloadCommand(*port, *file, trace.Recorder())
                                           : UploadCommand(*port, *file, trace.Recorder(), verify));
}

}  // namespace

bool orvalink::LoadDocumentImage(const std::string& path, TTiFlashFm& flash) {
    const DocumentOutcome outcome = LoadDocumentIntoImage(path, flash, DocumentRule::FamilyDocument);
    if (outcome.Ok()) return true;
    if (!outcome.why.empty()) std::cerr << "orvalink-cli: " << path << ": " << outcome.why << "\n";
    Fail(outcome.message);
    return false;
}

int orvalink::WriteError(const std::string& out, const std::string& why) {
    if (!why.empty()) std::cerr << "orvalink-cli: " << out << ": " << why << "\n";
    return Fail("Write file error ! \n\nPath: " + out);
}

std::string orvalink::ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return ".";
    return exe.parent_path().string();
}

std::string orvalink::SameFileText(const std::string& in, const std::string& out) {
    return out + " is the input file " + in + "; name another file to write";
}

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write fails, and is reported as
    // on a full disk: the old output stays, exit status 1. The signal the
    // system sends for it would end the program in the middle of the write.
    ::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "info" && args.size() == 1) return Info(args[0]);
    if (command == "extract" && args.size() == 2) return Extract(args[0], args[1]);
    if (command == "pack") return Pack(args);
    if (command == "devices" && args.size() == 1) return Devices(args[0]);
    if (command == "codes") return CodesCommand(args);
    if (command == "download" || command == "upload") return Transfer(command, args);
    if (command == "fetch") return FetchCommand(args);
    if (command == "trace") return TraceCommand(args);
    if (command == "upgrade" || command == "backup") return UpgradeCommand(command, args);
    if (IsServiceFileCommand(command)) return ServiceFileCommand(command, args);
    if (command == "diff") return DiffCommand(args);
    if (command == "render" && args.size() == 3) return RenderCommand(args[0], args[1], args[2]);
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        std::cout << "orvalink-cli " << ORVALINK_VERSION << "\n";
        return kExitOk;
    }
    return Usage();
}
