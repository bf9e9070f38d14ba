#include "link/LinkEngine.h"

namespace orvalink {

LinkEngine::LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
                       LinkView& view, uint32_t windowsVersion)
    : clock_(clock),
      tracedPort_(port, noTrace_),
      channel_(port, pump, ui, view, noTrace_),
      discovery_(port, registry, ui, view, windowsVersion),
      blocks_(channel_, discovery_),
      packets_(channel_, discovery_) {}

LinkEngine::LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
                       LinkView& view, LinkTrace& trace, uint32_t windowsVersion)
    : clock_(clock),
      tracedPort_(port, trace),
      channel_(tracedPort_, pump, ui, view, trace),
      discovery_(tracedPort_, registry, ui, view, windowsVersion),
      blocks_(channel_, discovery_),
      packets_(channel_, discovery_) {}

}  // namespace orvalink
