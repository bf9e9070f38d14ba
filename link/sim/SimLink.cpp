#include "link/sim/SimLink.h"

#include "platform/PortNames.h"

namespace orvalink {

void RegisterSimPort(MemoryRegistry& registry, const std::string& instance) {
    const std::string key = std::string(kNtAdapterKey) + "\\" + instance;
    registry.SetValue(key + "\\Control", "ActiveService", "Ser2pl");
    registry.SetValue(key + "\\Control", "DeviceReference", "1");
    registry.SetValue(key + "\\Device Parameters", "PortName", "COM" + std::to_string(kSimComNumber));
}

}  // namespace orvalink
