// Commands of orvalink-cli that live outside main.cpp.
#pragma once

#include <string>
#include <vector>

namespace orvalink {

class TTiFlashFm;
class LinkTrace;

// Loads a QM-5100 family document into `flash`; prints the reason and
// returns false when it cannot.
bool LoadDocumentImage(const std::string& path, TTiFlashFm& flash);
// Prints that `out` could not be written (and why, when known); exit code 1.
int WriteError(const std::string& out, const std::string& why);
// The words for an output that is the input itself.
std::string SameFileText(const std::string& in, const std::string& out);

// The keys of a code set: key, code type, carrier in kHz, marks/spaces in us.
// codes FILE CODE [KEY] [--pronto], codes --sbin FILE [--pronto],
// codes --from-pronto TEXT OUT.sbin.
int CodesCommand(const std::vector<std::string>& args);
int CodesCommand(const std::string& path, const std::string& codeNumber, bool pronto = false, int onlyKey = -1);
// codes import FILE DOC --device NAME [--map FILE] OUT and codes export DOC
// --device NAME --format ir|lirc|pronto OUT (`args` start with "import" or
// "export"): a whole device's codes from and into shared IR code files.
bool IsDeviceCodesCommand(const std::vector<std::string>& args);
int DeviceCodesCommand(const std::vector<std::string>& args);
// The eight LCD pages and the hard keys of a device as one picture, drawn by
// the drawing library beside the executable.
int RenderCommand(const std::string& path, const std::string& slot, const std::string& out);
// The folder of the running executable (from /proc/self/exe), without a
// trailing separator; "." when it cannot be told.
std::string ExecutableFolder();

// The remote's configuration into a document at `out` (untouched pages from
// the factory document; nothing is written when the download fails), and a
// document to the remote, over the POSIX serial port and the poll() pump.
// The conversation goes to `trace` (a recorder without a file records nothing).
int DownloadCommand(const std::string& portPath, const std::string& out, LinkTrace& trace);
// With `verify` the upload's blocks are read back and compared: a block that
// came back other than sent fails the command (exit 1), naming the pages.
int UploadCommand(const std::string& portPath, const std::string& in, LinkTrace& trace, bool verify = true);
// The upgrade files of a model from the upgrade server:
// fetch --model NAME [--url BASE] [--folder DIR].
int FetchCommand(const std::vector<std::string>& args);
// upgrade (program and flash through the boot loaders) and backup (the
// whole flash into a document); `args` follow the command's name.
int UpgradeCommand(const std::string& command, const std::vector<std::string>& args);
// The service file commands: sec, unsec, xfile make|read, sbin make|read.
bool IsServiceFileCommand(const std::string& command);
int ServiceFileCommand(const std::string& command, std::vector<std::string> args);
// diff A B: the differences of two documents (or raw memory images); exit
// 0 when they are the same, 1 when they differ, 2 on bad input.
int DiffCommand(const std::vector<std::string>& args);

// Whether this build has the serial link (the Linux platform layer).
bool CanLink();

}  // namespace orvalink
