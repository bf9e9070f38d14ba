#include "formats/IrSignalFiles.h"

namespace orvalink {

namespace {
bool NotYet(std::string& error) {
    error = "this file format cannot be read or written yet";
    return false;
}
}  // namespace

bool ParseLircConf(std::string_view, std::string_view, std::vector<IrSignal>&, std::string& e) { return NotYet(e); }
bool ParseProntoList(std::string_view, std::string_view, std::vector<IrSignal>&, std::string& e) { return NotYet(e); }
bool ParseDurationList(std::string_view, std::string_view, std::vector<IrSignal>&, std::string& e) { return NotYet(e); }
std::optional<IrFileFormat> GuessIrFileFormat(std::string_view, std::string_view) { return std::nullopt; }
bool ReadIrSignalFile(const std::string&, std::vector<IrSignal>&, std::string& e) { return NotYet(e); }
bool WriteLircConf(std::string_view, const std::vector<IrSignal>&, std::string&, std::string& e) { return NotYet(e); }
bool WriteProntoList(const std::vector<IrSignal>&, std::string&, std::string& e) { return NotYet(e); }

}  // namespace orvalink
