#include "platform/PortNames.h"

#include <cctype>

namespace orvalink {

int PortNumberFromName(const std::string& name) {
    // "COM" then the number; two-digit ports are read whole.
    if (name.size() < 4) return 0;
    int n = 0;
    size_t i = 3;
    for (; i < name.size() && i < 6 && std::isdigit(static_cast<unsigned char>(name[i])); ++i) n = n * 10 + (name[i] - '0');
    return i == 3 ? 0 : n;
}

}  // namespace orvalink
