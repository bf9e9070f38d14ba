// orvalink-cli --trace FILE and orvalink-cli trace FILE.
#include <iostream>

#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "link/LinkTraceReport.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CliTrace.h"

namespace orvalink {

namespace {
// A recording of a whole 5100 flash takes some 4 MB; a trace larger than
// this is no trace of ours.
constexpr uint64_t kMaxTraceBytes = uint64_t(1) << 30;
}  // namespace

bool CliTrace::Begin(const std::string& path) {
    std::string why;
    if (!file_.Open(PathFromUtf8(path), &why)) {
        std::cerr << "orvalink-cli: cannot write " << path << ": " << why << "\n";
        return false;
    }
    path_ = path;
    recorder_.AddSink(file_);
    return true;
}

int CliTrace::End(int status) {
    if (path_.empty()) return status;
    recorder_.RemoveSink(file_);
    std::string why;
    const std::string path = path_;
    path_.clear();
    if (!file_.Close(&why)) {
        WriteError(path, why);
        return status == 0 ? 1 : status;
    }
    std::cout << "trace: " << path << "\n";
    return status;
}

int TraceCommand(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || (args[0].size() > 1 && args[0][0] == '-')) {
        std::cerr << "orvalink-cli: trace takes one FILE\n";
        return 2;
    }
    const std::string& path = args[0];
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(PathFromUtf8(path), bytes, kMaxTraceBytes, &why)) {
        std::cerr << "orvalink-cli: " << path << ": " << why << "\n";
        return 1;
    }
    const TraceReading reading =
        ReadLinkTrace(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!reading.ok) {
        std::cerr << "orvalink-cli: " << path << ": " << reading.error << "\n";
        return 1;
    }
    for (const std::string& line : reading.lines) std::cout << line << "\n";
    std::cout << "\n";
    for (const std::string& line : TraceSummaryLines(reading.summary)) std::cout << line << "\n";
    return 0;
}

}  // namespace orvalink
