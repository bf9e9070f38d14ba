#include "platform/qt/UdevDeviceNotifier.h"

#include <libudev.h>

#include <string>

#include "platform/linux/SysfsRegistry.h"

namespace orvalink {

namespace {
std::string Text(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

UdevDeviceNotifier::UdevDeviceNotifier(QObject* parent) : QObject(parent) {
    udev_ = udev_new();
    if (!udev_) return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &UdevDeviceNotifier::OnActivated);
}

UdevDeviceNotifier::~UdevDeviceNotifier() {
    notifier_.reset();
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

void UdevDeviceNotifier::OnActivated() {
    udev_device* dev = udev_monitor_receive_device(monitor_);
    if (!dev) return;
    const std::string action = Text(udev_device_get_action(dev));
    const std::string name = Text(udev_device_get_sysname(dev));
    // On removal the USB device may already be gone: the event's own
    // properties carry its vendor and product.
    std::string vendor = Text(udev_device_get_property_value(dev, "ID_VENDOR_ID"));
    std::string product = Text(udev_device_get_property_value(dev, "ID_MODEL_ID"));
    if (vendor.empty()) {
        if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device")) {
            vendor = Text(udev_device_get_sysattr_value(usb, "idVendor"));
            product = Text(udev_device_get_sysattr_value(usb, "idProduct"));
        }
    }
    const DeviceChangeEvent event = PortEventFromUdev(action, name, vendor, product);
    udev_device_unref(dev);
    if (event.isPort && handler_) handler_(event);
}

}  // namespace orvalink
