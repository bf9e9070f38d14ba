// Putting the link on a virtual remote: the port registration every program
// and test that runs the link engine against the virtual remote (in process
// over the loopback cable, or orvalink-remote-sim over a pseudo-terminal)
// needs, so that port discovery finds the remote's port.
#pragma once

#include <string>

#include "platform/doubles/MemoryRegistry.h"

namespace orvalink {

// The COM number the virtual remote's port is registered as.
inline constexpr int kSimComNumber = 3;

// Registers a USB serial adapter below the NT-family key, as `instance`:
// serviced, present, its port "COM3".
void RegisterSimPort(MemoryRegistry& registry, const std::string& instance);

}  // namespace orvalink
