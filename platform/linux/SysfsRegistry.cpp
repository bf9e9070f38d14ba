#include "platform/linux/SysfsRegistry.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/PortNames.h"

namespace fs = std::filesystem;

namespace orvalink {

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// The index at the end of a tty name ("ttyUSB3" -> 3), or -1.
int TtyIndex(const std::string& name) {
    size_t i = name.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]))) --i;
    if (i == name.size() || name.size() - i > 4) return -1;
    return std::stoi(name.substr(i));
}

}  // namespace

int ComNumberOfTty(const std::string& ttyName) {
    const int index = TtyIndex(ttyName);
    return index < 0 || index > 62 ? 0 : index + 1;
}

DeviceChangeEvent PortEventFromUdev(const std::string& action, const std::string& ttyName,
                                    const std::string& vendor, const std::string& product) {
    DeviceChangeEvent e;
    auto fold = [](std::string t) {
        for (char& c : t) c = char(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    const int com = ComNumberOfTty(ttyName);
    if (com == 0 || fold(vendor) != "067b" || fold(product) != "2303") return e;
    e.isPort = true;
    e.name = "COM" + std::to_string(com);
    if (action == "add") e.kind = DeviceChangeEvent::Kind::Arrival;
    else if (action == "remove") e.kind = DeviceChangeEvent::Kind::RemoveComplete;
    else e.isPort = false;
    return e;
}

SysfsRegistry::SysfsRegistry(std::string sysRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {
    Refresh();
}

std::string SysfsRegistry::Fold(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void SysfsRegistry::Set(const std::string& key, const std::string& name, const std::string& value) {
    // The key and all its parents exist.
    size_t pos = 0;
    while (true) {
        size_t next = key.find('\\', pos);
        std::string prefix = key.substr(0, next);
        std::string folded = Fold(prefix);
        keys_[folded];
        if (!names_.count(folded)) {
            size_t cut = prefix.rfind('\\');
            names_[folded] = cut == std::string::npos ? prefix : prefix.substr(cut + 1);
        }
        if (next == std::string::npos) break;
        pos = next + 1;
    }
    if (!name.empty()) keys_[Fold(key)][Fold(name)] = value;
}

void SysfsRegistry::AddPort(const std::string& path, int comNumber) {
    extra_.push_back({path, comNumber});
    Refresh();
}

bool SysfsRegistry::AddPortEntry(const std::string& entry) {
    std::string path = entry;
    int number = 9;
    const size_t eq = entry.rfind('=');
    if (eq != std::string::npos) {
        path = entry.substr(0, eq);
        number = PortNumberFromName(entry.substr(eq + 1));
    }
    if (path.empty() || number < 1 || number > 63) return false;
    AddPort(path, number);
    return true;
}

bool SysfsRegistry::AddPortsFromEnvironment() {
    const char* env = std::getenv("ORVALINK_LINK_PORT");
    return env == nullptr || AddPortsFromText(env);
}

bool SysfsRegistry::AddPortsFromText(const std::string& all) {
    bool ok = true;
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t comma = all.find(',', pos);
        std::string entry = all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (!entry.empty() && !AddPortEntry(entry)) ok = false;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return ok;
}

void SysfsRegistry::Refresh() {
    keys_.clear();
    names_.clear();
    paths_.clear();
    const std::string base = kNtAdapterKey;
    Set(base, "", "");
    std::error_code ec;
    const fs::path ttyClass = fs::path(sysRoot_) / "class" / "tty";
    for (auto it = fs::directory_iterator(ttyClass, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string tty = it->path().filename().string();
        const fs::path device = it->path() / "device";
        std::error_code e2;
        fs::path dir = fs::canonical(device, e2);
        if (e2) continue;
        // Up from the port to the USB device that carries the vendor and product.
        fs::path usb;
        for (int up = 0; up < 6 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
            if (fs::exists(dir / "idVendor", e2) && fs::exists(dir / "idProduct", e2)) {
                usb = dir;
                break;
            }
        }
        if (usb.empty()) continue;
        if (Fold(ReadLine(usb / "idVendor")) != "067b" || Fold(ReadLine(usb / "idProduct")) != "2303") continue;
        const int com = ComNumberOfTty(tty);
        if (com == 0) continue;
        const std::string key = base + "\\" + usb.filename().string() + "_" + tty;
        Set(key + "\\Control", "DeviceReference", usb.filename().string());
        const fs::path driver = device / "driver";
        if (fs::exists(driver, e2)) Set(key + "\\Control", "ActiveService", fs::read_symlink(driver, e2).filename().string());
        Set(key + "\\Device Parameters", "PortName", "COM" + std::to_string(com));
        paths_[com] = (fs::path(devRoot_) / tty).string();
    }
    for (size_t i = 0; i < extra_.size(); ++i) {
        const auto& p = extra_[i];
        const std::string key = base + "\\extra" + std::to_string(i + 1);
        Set(key + "\\Control", "DeviceReference", p.path);
        Set(key + "\\Control", "ActiveService", "orvalink");
        Set(key + "\\Device Parameters", "PortName", "COM" + std::to_string(p.comNumber));
        paths_[p.comNumber] = p.path;
    }
}

std::string SysfsRegistry::PortPath(int comNumber) const {
    auto it = paths_.find(comNumber);
    return it == paths_.end() ? std::string() : it->second;
}

bool SysfsRegistry::OpenKey(const std::string& path) const { return keys_.count(Fold(path)) != 0; }

std::vector<std::string> SysfsRegistry::SubKeyNames(const std::string& path) const {
    std::vector<std::string> out;
    const std::string prefix = Fold(path) + "\\";
    for (const auto& [folded, values] : keys_) {
        if (folded.rfind(prefix, 0) != 0 || folded.find('\\', prefix.size()) != std::string::npos) continue;
        out.push_back(names_.at(folded));
    }
    return out;
}

bool SysfsRegistry::ValueExists(const std::string& path, const std::string& name) const {
    return ReadString(path, name).has_value();
}

std::optional<std::string> SysfsRegistry::ReadString(const std::string& path, const std::string& name) const {
    auto k = keys_.find(Fold(path));
    if (k == keys_.end()) return std::nullopt;
    auto v = k->second.find(Fold(name));
    if (v == k->second.end()) return std::nullopt;
    return v->second;
}

}  // namespace orvalink
