// Device arrival and removal on Linux: a udev monitor of the tty subsystem,
// watched by a QSocketNotifier, so the events arrive through the event loop
// (also during link waits). Only the Prolific adapter's ttys are reported,
// named "COM" + n as in the sysfs registry view.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include "platform/DeviceNotifier.h"

struct udev;
struct udev_monitor;

namespace orvalink {

class UdevDeviceNotifier final : public QObject, public DeviceNotifier {
    Q_OBJECT
public:
    explicit UdevDeviceNotifier(QObject* parent = nullptr);
    ~UdevDeviceNotifier() override;
    // False when udev could not be reached (no notifications then).
    bool Active() const { return monitor_ != nullptr; }
    void SetHandler(Handler handler) override { handler_ = std::move(handler); }

private:
    void OnActivated();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    Handler handler_;
};

}  // namespace orvalink
