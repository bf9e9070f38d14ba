#include "link/LinkEngine.h"

namespace orvalink {

LinkEngine::LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
                       LinkView& view, uint32_t windowsVersion)
    : clock_(clock),
      channel_(port, pump, ui, view),
      discovery_(port, registry, ui, view, windowsVersion),
      blocks_(channel_, discovery_),
      packets_(channel_, discovery_) {}

}  // namespace orvalink
