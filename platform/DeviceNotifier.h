// Notifications of devices arriving and leaving (the cable plugged in or
// pulled out). Windows: WM_DEVICECHANGE; Linux: udev; tests: a double that the
// test fires. Delivered on the UI thread through the event loop, so also
// during link waits.
#pragma once

#include <functional>
#include <string>

namespace orvalink {

struct DeviceChangeEvent {
    enum class Kind { Arrival, RemoveComplete, Other };
    Kind kind = Kind::Other;
    // True for notifications about a port (device type "port").
    bool isPort = false;
    // The port's name as the notification gives it (for example "COM7").
    std::string name;
};

class DeviceNotifier {
public:
    using Handler = std::function<void(const DeviceChangeEvent&)>;
    virtual ~DeviceNotifier() = default;
    virtual void SetHandler(Handler handler) = 0;
};

}  // namespace orvalink
