#include "platform/doubles/MemoryRegistry.h"

#include <cctype>

namespace orvalink {

std::string MemoryRegistry::Fold(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void MemoryRegistry::AddKey(const std::string& path) {
    size_t pos = 0;
    while (true) {
        size_t next = path.find('\\', pos);
        std::string prefix = path.substr(0, next);
        auto& key = keys_[Fold(prefix)];
        if (key.name.empty()) key.name = prefix.substr(prefix.rfind('\\') == std::string::npos ? 0 : prefix.rfind('\\') + 1);
        if (next == std::string::npos) break;
        pos = next + 1;
    }
}

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, const std::string& value) {
    AddKey(path);
    keys_[Fold(path)].values[Fold(name)] = value;
}

void MemoryRegistry::RemoveKey(const std::string& path) {
    std::string folded = Fold(path);
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == folded || it->first.rfind(folded + "\\", 0) == 0) it = keys_.erase(it);
        else ++it;
    }
}

void MemoryRegistry::DenyKey(const std::string& path) { denied_.insert(Fold(path)); }

bool MemoryRegistry::OpenKey(const std::string& path) const {
    std::string folded = Fold(path);
    return keys_.count(folded) != 0 && denied_.count(folded) == 0;
}

std::vector<std::string> MemoryRegistry::SubKeyNames(const std::string& path) const {
    std::vector<std::string> names;
    std::string prefix = Fold(path) + "\\";
    for (const auto& [folded, key] : keys_) {
        if (folded.rfind(prefix, 0) != 0) continue;
        if (folded.find('\\', prefix.size()) != std::string::npos) continue;
        names.push_back(key.name);
    }
    return names;
}

bool MemoryRegistry::ValueExists(const std::string& path, const std::string& name) const {
    return ReadString(path, name).has_value();
}

std::optional<std::string> MemoryRegistry::ReadString(const std::string& path, const std::string& name) const {
    auto it = keys_.find(Fold(path));
    if (it == keys_.end()) return std::nullopt;
    auto v = it->second.values.find(Fold(name));
    if (v == it->second.values.end()) return std::nullopt;
    return v->second;
}

}  // namespace orvalink
