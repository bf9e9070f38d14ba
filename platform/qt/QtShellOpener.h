// The shell's "open" of a web address or a document (QDesktopServices).
#pragma once

#include "platform/ShellOpener.h"

namespace orvalink {

class QtShellOpener final : public ShellOpener {
public:
    bool Open(const std::string& address) override;
};

}  // namespace orvalink
