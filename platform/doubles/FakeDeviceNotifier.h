// Test double of the device notifications: the test fires arrivals and
// removals, directly or through the virtual pump's schedule.
#pragma once

#include <utility>

#include "platform/DeviceNotifier.h"

namespace orvalink {

class FakeDeviceNotifier final : public DeviceNotifier {
public:
    void SetHandler(Handler handler) override { handler_ = std::move(handler); }
    void Fire(const DeviceChangeEvent& event) {
        if (handler_) handler_(event);
    }
    void PortArrived(const std::string& name) { Fire({DeviceChangeEvent::Kind::Arrival, true, name}); }
    void PortRemoved(const std::string& name) { Fire({DeviceChangeEvent::Kind::RemoveComplete, true, name}); }

private:
    Handler handler_;
};

}  // namespace orvalink
