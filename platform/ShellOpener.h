// The shell's "open" of a web address or document (production:
// QDesktopServices).
#pragma once

#include <string>

namespace orvalink {

class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool Open(const std::string& address) = 0;
};

}  // namespace orvalink
