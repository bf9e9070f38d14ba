// The service file commands of orvalink-cli: security files ("sec",
// "unsec"), X files ("xfile make", "xfile read") and S binaries ("sbin make",
// "sbin read"). Each prints the header it wrote or read as "key: value"
// lines.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/ByteIo.h"
#include "formats/FileConversions.h"
#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "formats/ModelCatalogue.h"
#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "formats/ServiceFileCommands.h"
#include "formats/VFileHeader.h"
#include "formats/XFiles.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "tools/cli/CliCommands.h"

namespace orvalink {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int UsageError(const std::string& why) {
    std::cerr << "orvalink-cli: " << why << "\n";
    return kUsage;
}

// The outcome's text (or a plain account when it has none); exit code 1.
int Refused(const PlainFileOutcome& outcome, const std::string& what, const std::string& path) {
    if (!outcome.why.empty()) std::cerr << "orvalink-cli: " << path << ": " << outcome.why << "\n";
    if (!outcome.message.empty()) std::cerr << outcome.message << "\n";
    else std::cerr << "orvalink-cli: " << path << " is not " << what << "\n";
    return kFailed;
}

std::string Hex(uint32_t v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, unsigned(v));
    return text;
}

// Options of the form "--name value" after the positional arguments.
bool SplitOptions(const std::vector<std::string>& args, size_t positional, std::vector<std::string>& plain,
                  std::map<std::string, std::string>& options, std::string& why) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (i + 1 >= args.size()) {
                why = args[i] + " needs a value";
                return false;
            }
            if (options.count(args[i])) {
                why = args[i] + " given twice";
                return false;
            }
            options[args[i]] = args[i + 1];
            ++i;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() != positional) {
        why = "expected " + std::to_string(positional) + (positional == 1 ? " file" : " files");
        return false;
    }
    return true;
}

bool UnknownOption(const std::map<std::string, std::string>& options, std::initializer_list<const char*> known,
                   std::string& why) {
    for (const auto& [name, value] : options) {
        bool ok = false;
        for (const char* k : known) ok = ok || name == k;
        if (!ok) {
            why = "unknown option " + name;
            return true;
        }
    }
    return false;
}

void PrintSecurityHeader(std::span<const uint8_t> file, size_t plainLength, const std::string& path) {
    ByteReader r(file);
    const uint32_t checksum = r.U32();
    const uint32_t length = r.U32();
    r.Skip(2);
    const std::string modelText = r.FixedText(12);
    const std::string extension = r.FixedText(4);
    const uint8_t kind = r.U8();
    const uint16_t tag = r.U16();
    r.Skip(2);
    const uint8_t row = r.U8();
    std::cout << "file: " << path << "\n"
              << "checksum: " << Hex(checksum, 8) << "\n"
              << "file length: " << length << "\n"
              << "model text: " << modelText << "\n"
              << "extension: " << extension << "\n"
              << "kind: " << int(kind) << "\n"
              << "model tag: " << Hex(tag, 4) << "\n"
              << "row: " << int(row) << "\n"
              << "data length: " << plainLength << "\n";
}

void PrintXHeader(const XFileHeader& h, uint8_t kind, size_t plainLength, const std::string& path) {
    std::cout << "file: " << path << "\n"
              << "checksum: " << Hex(h.checksum, 8) << "\n"
              << "file length: " << h.fileLength << "\n"
              << "model text: " << h.ModelText() << "\n"
              << "extension: " << XExtension(kind) << "\n"
              << "kind: " << int(kind) << "\n"
              << "model number: " << int(h.modelNumber) << "\n"
              << "version: " << VersionText(h.versionWord) << "\n"
              << "first row: " << int(h.firstRow) << "\n"
              << "second row: " << int(h.secondRow) << "\n"
              << "data length: " << plainLength << "\n";
}

void PrintSBinHeader(const SBinHeader& h, const std::string& path) {
    std::cout << "file: " << path << "\n"
              << "checksum: " << Hex(h.checksum, 8) << "\n"
              << "data length: " << h.dataLength << "\n"
              << "source: " << h.source << "\n"
              << "vc number: " << h.vcNumber << "\n"
              << "date: " << SBinDateText(h.date) << "\n";
}

int ReadInput(const std::string& path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    std::string why;
    if (ReadFileBytes(PathFromUtf8(path), bytes, maxBytes, &why)) return kOk;
    if (!why.empty()) std::cerr << "orvalink-cli: " << path << ": " << why << "\n";
    std::cerr << kCantReadPlainText << "\n";
    return kFailed;
}

int Sec(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::map<std::string, std::string> options;
    std::string why;
    if (!SplitOptions(args, 1, files, options, why) || UnknownOption(options, {"--kind"}, why))
        return UsageError("sec: " + why);
    static const std::map<std::string, uint8_t> kinds{
        {"mcf", kSecuritySmcf}, {"mod", kSecuritySmod}, {"sdc", kSecuritySsdc}};
    const auto kind = options.count("--kind") ? kinds.find(options["--kind"]) : kinds.end();
    if (kind == kinds.end()) return UsageError("sec needs --kind mcf, mod or sdc");
    std::vector<uint8_t> data;
    if (const int read = ReadInput(files[0], data, kSecurityFileLimit); read != kOk) return read;
    SystemClock clock;
    Pcg32Random random;
    const PlainFileOutcome out =
        WriteSecurityFile(PathFromUtf8(files[0]), data, kind->second, TFlashFm().stamp, clock, random);
    if (!out.Ok()) return Refused(out, "writable as a security file", files[0]);
    std::vector<uint8_t> written;
    if (const int read = ReadInput(Utf8FromPath(out.path), written, kSecurityFileLimit); read != kOk) return read;
    PrintSecurityHeader(written, data.size(), Utf8FromPath(out.path));
    if (!out.backup.empty()) std::cout << "backup: " << Utf8FromPath(out.backup) << "\n";
    return kOk;
}

int Unsec(const std::vector<std::string>& args) {
    if (args.size() != 1) return UsageError("unsec takes one file");
    const std::string& path = args[0];
    std::vector<uint8_t> plain;
    uint8_t kind = 0;
    const PlainFileOutcome read = ReadSecurityFile(PathFromUtf8(path), plain, kind);
    if (!read.Ok()) return Refused(read, "a security file", path);
    std::vector<uint8_t> file;
    if (const int again = ReadInput(path, file, kSecurityFileLimit); again != kOk) return again;
    OlderFlash flash;
    const PlainFileOutcome out = WritePlainForm(PathFromUtf8(path), plain, kind, flash);
    if (!out.Ok()) return Refused(out, "convertible to a plain file", path);
    PrintSecurityHeader(file, plain.size(), path);
    std::cout << "written: " << Utf8FromPath(out.path) << "\n";
    if (!out.backup.empty()) std::cout << "backup: " << Utf8FromPath(out.backup) << "\n";
    return kOk;
}

int XMake(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::map<std::string, std::string> options;
    std::string why;
    if (!SplitOptions(args, 1, files, options, why) ||
        UnknownOption(options, {"--kind", "--model", "--version"}, why))
        return UsageError("xfile make: " + why);
    static const std::map<std::string, uint8_t> kinds{{"mcf", kXmcf}, {"mcu", kXmcu}, {"irc", kXirc}};
    const auto kind = options.count("--kind") ? kinds.find(options["--kind"]) : kinds.end();
    if (kind == kinds.end()) return UsageError("xfile make needs --kind mcf, mcu or irc");
    if (!options.count("--model")) return UsageError("xfile make needs --model NAME");
    std::optional<int> index;
    for (int i = 0; i < kXModelCount && !index; ++i)
        if (SameNameIgnoringCase(XModelText(i), options["--model"])) index = i;
    if (!index) {
        std::string names;
        for (int i = 0; i < kXModelCount; ++i) names += std::string(i ? ", " : "") + XModelText(i);
        return UsageError("--model takes one of " + names);
    }
    uint16_t version = 0;
    if (options.count("--version") && ParseTypedVersion(options["--version"], version) != TypedVersion::Ok)
        return UsageError("--version takes a version such as 1.05");
    std::vector<uint8_t> data;
    if (const int read = ReadInput(files[0], data, kXFileLimit); read != kOk) return read;
    XFileHeader header;
    XHeaderForModel(*index, version, header);
    SystemClock clock;
    Pcg32Random random;
    const PlainFileOutcome out = WriteXFile(PathFromUtf8(files[0]), data, header, kind->second, clock, random);
    if (!out.Ok()) return Refused(out, "writable as an X file", files[0]);
    std::vector<uint8_t> plain;
    XFileHeader back;
    uint8_t kindBack = 0;
    const PlainFileOutcome check = ReadXFile(out.path, plain, back, kindBack);
    if (!check.Ok()) return Refused(check, "an X file", Utf8FromPath(out.path));
    PrintXHeader(back, kindBack, plain.size(), Utf8FromPath(out.path));
    if (!out.backup.empty()) std::cout << "backup: " << Utf8FromPath(out.backup) << "\n";
    return kOk;
}

int XRead(const std::vector<std::string>& args) {
    if (args.size() != 2) return UsageError("xfile read takes FILE and OUT");
    if (IsSameFile(PathFromUtf8(args[0]), PathFromUtf8(args[1])))
        return UsageError(SameFileText(args[0], args[1]));
    std::vector<uint8_t> plain;
    XFileHeader header;
    uint8_t kind = 0;
    const PlainFileOutcome read = ReadXFile(PathFromUtf8(args[0]), plain, header, kind);
    if (!read.Ok()) return Refused(read, "an X file", args[0]);
    std::string why;
    if (!ReplaceFileBytes(PathFromUtf8(args[1]), plain, &why)) return WriteError(args[1], why);
    PrintXHeader(header, kind, plain.size(), args[0]);
    return kOk;
}

int SMake(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::map<std::string, std::string> options;
    std::string why;
    if (!SplitOptions(args, 1, files, options, why) || UnknownOption(options, {"--source", "--vc"}, why))
        return UsageError("sbin make: " + why);
    uint16_t source = 0;
    if (options["--source"] == "mcu") source = kSBinFromMcu;
    else if (options["--source"] == "image") source = kSBinFromImage;
    else return UsageError("sbin make needs --source mcu or image");
    unsigned long vc = 0;
    const std::string vcText = options.count("--vc") ? options["--vc"] : "";
    if (!vcText.empty()) {
        if (vcText.size() > 5 || vcText.find_first_not_of("0123456789") != std::string::npos ||
            (vc = std::stoul(vcText)) > 0xFFFF)
            return UsageError("--vc takes a number from 0 to 65535");
    }
    // No S binary is made that its loader would refuse.
    const uint64_t most = SBinFileLimit(source) - kSBinHeaderBytes;
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(PathFromUtf8(files[0]), ec);
    if (!ec && size > most) {
        std::cerr << "orvalink-cli: " << files[0] << " is " << size << " bytes; an S binary of "
                  << options["--source"] << " data holds at most " << most << "\n";
        return kFailed;
    }
    std::vector<uint8_t> data;
    if (const int read = ReadInput(files[0], data, most); read != kOk) return read;
    SystemClock clock;
    const std::vector<uint8_t> file = BuildSBinBytes(data, source, uint16_t(vc), clock.Today());
    const std::filesystem::path target = WithExtension(PathFromUtf8(files[0]), ".sbin");
    const PlainFileOutcome out = WriteWholeFile(target, file);
    if (!out.Ok()) return Refused(out, "writable", Utf8FromPath(target));
    SBinHeader header;
    std::vector<uint8_t> back;
    ParseSBinBytes(file, header, back);
    PrintSBinHeader(header, Utf8FromPath(target));
    if (!out.backup.empty()) std::cout << "backup: " << Utf8FromPath(out.backup) << "\n";
    return kOk;
}

int SRead(const std::vector<std::string>& args) {
    if (args.size() != 2) return UsageError("sbin read takes FILE and OUT");
    if (IsSameFile(PathFromUtf8(args[0]), PathFromUtf8(args[1])))
        return UsageError(SameFileText(args[0], args[1]));
    SBinHeader header;
    std::vector<uint8_t> data;
    std::string why;
    // The longest S binary of any source; the header says which loader's
    // limit applies.
    SBinLoad loaded = ReadSBinFile(PathFromUtf8(args[0]), kSBinImageLoadBytes, header, data, &why);
    if (loaded == SBinLoad::Ok && kSBinHeaderBytes + data.size() > SBinFileLimit(header.source))
        loaded = SBinLoad::TooLong;
    switch (loaded) {
        case SBinLoad::Ok: break;
        case SBinLoad::TooLong:
            std::cerr << "orvalink-cli: " << args[0] << " is too long for an S binary\n";
            return kFailed;
        case SBinLoad::ReadFailed:
            if (!why.empty()) std::cerr << "orvalink-cli: " << args[0] << ": " << why << "\n";
            std::cerr << kCantReadPlainText << "\n";
            return kFailed;
        case SBinLoad::Corrupt:
            std::cerr << SBinCorruptText(args[0]) << "\n";
            return kFailed;
    }
    if (!ReplaceFileBytes(PathFromUtf8(args[1]), data, &why)) return WriteError(args[1], why);
    PrintSBinHeader(header, args[0]);
    return kOk;
}

}  // namespace

bool IsServiceFileCommand(const std::string& command) {
    return command == "sec" || command == "unsec" || command == "xfile" || command == "sbin";
}

int ServiceFileCommand(const std::string& command, std::vector<std::string> args) {
    if (command == "sec") return Sec(args);
    if (command == "unsec") return Unsec(args);
    if (args.empty()) return UsageError(command + " needs make or read");
    const std::string sub = args[0];
    args.erase(args.begin());
    if (command == "xfile" && sub == "make") return XMake(args);
    if (command == "xfile" && sub == "read") return XRead(args);
    if (command == "sbin" && sub == "make") return SMake(args);
    if (command == "sbin" && sub == "read") return SRead(args);
    return UsageError(command + " needs make or read");
}

}  // namespace orvalink
