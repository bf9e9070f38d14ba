// The texts the link port is found by, from arbitrary bytes. The first byte
// picks what the rest is:
//   0  a port name for PortNumberFromName;
//   1  a tty name for ComNumberOfTty and a udev event (action, tty, vendor,
//      product, one a line) for PortEventFromUdev;
//   2  an ORVALINK_LINK_PORT text for the Linux registry view, then a key
//      path and value name the view is asked for;
//   3  a sysfs tree (tty, vendor, product, USB device and driver names, one a
//      line) that the registry view reads.
// Every answer keeps its promise: port numbers in range, a port the view
// shows has a device path, and a Prolific adapter in sysfs appears under its
// COM number.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/FuzzFolder.h"
#include "platform/PortNames.h"
#include "platform/linux/SysfsRegistry.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text, size_t count) {
    std::vector<std::string> out(count);
    size_t pos = 0;
    for (size_t i = 0; i < count && pos <= text.size(); ++i) {
        const size_t nl = text.find('\n', pos);
        out[i] = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return out;
}

// A text usable as one file name.
std::string FileName(std::string text, const char* fallback) {
    for (char& c : text)
        if (c == '/' || c == '\0') c = '_';
    if (text.size() > 60) text.resize(60);
    if (text.empty() || text == "." || text == "..") text = fallback;
    return text;
}

std::string Fold(std::string t) {
    for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

// Every port the view shows below the adapter key has a number in range and
// a device path.
void CheckShownPorts(const SysfsRegistry& view) {
    for (const std::string& sub : view.SubKeyNames(kNtAdapterKey)) {
        const std::string key = std::string(kNtAdapterKey) + "\\" + sub;
        if (!view.OpenKey(key)) std::abort();
        const auto name = view.ReadString(key + "\\Device Parameters", "PortName");
        if (!name) continue;
        const int n = PortNumberFromName(*name);
        if (n < 1 || n > 63 || view.PortPath(n).empty()) std::abort();
    }
}

void SysfsTree(const fuzz::FuzzFolder& folder, const std::string& text) {
    const auto f = Lines(text, 5);
    const std::string tty = FileName(f[0], "ttyUSB0");
    const std::string usb = FileName(f[3], "1-1");
    const std::string driver = FileName(f[4], "pl2303");
    const fs::path root = folder.Path() / "sys";
    std::error_code ec;
    fs::remove_all(root, ec);
    const fs::path usbDir = root / "devices" / usb;
    const fs::path portDir = usbDir / (usb + ":1.0") / tty;
    fs::create_directories(portDir, ec);
    fs::create_directories(root / "class" / "tty" / tty, ec);
    fs::create_directories(root / "bus" / "drivers" / driver, ec);
    if (ec) return;
    const std::string& vendor = f[1];
    const std::string& product = f[2];
    folder.Write("sys/devices/" + usb + "/idVendor", {reinterpret_cast<const uint8_t*>(vendor.data()), vendor.size()});
    folder.Write("sys/devices/" + usb + "/idProduct", {reinterpret_cast<const uint8_t*>(product.data()), product.size()});
    fs::create_directory_symlink(portDir, root / "class" / "tty" / tty / "device", ec);
    fs::create_directory_symlink(root / "bus" / "drivers" / driver, portDir / "driver", ec);

    SysfsRegistry view(root.string(), "/dev");
    CheckShownPorts(view);
    // The view trims the line end of the files and folds case.
    auto trimmed = [](std::string t) {
        const size_t end = t.find('\n');
        if (end != std::string::npos) t.resize(end);
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.pop_back();
        return Fold(t);
    };
    const int com = ComNumberOfTty(tty);
    const bool prolific = trimmed(vendor) == "067b" && trimmed(product) == "2303";
    if (prolific && com != 0 && view.PortPath(com) != (fs::path("/dev") / tty).string()) std::abort();
    if (!prolific && !view.SubKeyNames(kNtAdapterKey).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::FuzzFolder folder("orvalink-fuzz-port-texts");
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
        case 0: {
            const int n = PortNumberFromName(text);
            if (n < 0 || n > 999) std::abort();
            if (n > 0 && PortNumberFromName("COM" + std::to_string(n)) != n) std::abort();
            break;
        }
        case 1: {
            const auto f = Lines(text, 4);
            const int com = ComNumberOfTty(f[1]);
            if (com < 0 || com > 63) std::abort();
            const DeviceChangeEvent e = PortEventFromUdev(f[0], f[1], f[2], f[3]);
            if (e.isPort && (com == 0 || e.name != "COM" + std::to_string(com) ||
                             e.kind == DeviceChangeEvent::Kind::Other))
                std::abort();
            break;
        }
        case 2: {
            const auto f = Lines(text, 3);
            SysfsRegistry view((folder.Path() / "no-sysfs").string(), "/dev");
            view.AddPortsFromText(f[0]);
            CheckShownPorts(view);
            view.OpenKey(f[1]);
            view.SubKeyNames(f[1]);
            view.ValueExists(f[1], f[2]);
            view.ReadString(f[1], f[2]);
            break;
        }
        default:
            SysfsTree(folder, text);
            break;
    }
    return 0;
}
