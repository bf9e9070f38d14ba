#include "formats/IrSignalFiles.h"

namespace orvalink {

bool ParseLircConf(std::string_view, std::string_view, std::vector<IrSignal>&, std::string& e) {
    e = "this file format cannot be read yet";
    return false;
}
bool WriteLircConf(std::string_view, const std::vector<IrSignal>&, std::string&, std::string& e) {
    e = "this file format cannot be written yet";
    return false;
}

}  // namespace orvalink
