// Test double of the registry view: keys and string values held in memory.
// Paths compare without regard to case, as in the Windows registry. Adding a
// key creates its parents; values are strings (that is all discovery reads).
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/Registry.h"

namespace orvalink {

class MemoryRegistry final : public Registry {
public:
    void AddKey(const std::string& path);
    void SetValue(const std::string& path, const std::string& name, const std::string& value);
    void RemoveKey(const std::string& path);  // and everything below it
    // Keys that OpenKey refuses although they exist (access denied).
    void DenyKey(const std::string& path);

    bool OpenKey(const std::string& path) const override;
    std::vector<std::string> SubKeyNames(const std::string& path) const override;
    bool ValueExists(const std::string& path, const std::string& name) const override;
    std::optional<std::string> ReadString(const std::string& path, const std::string& name) const override;

private:
    static std::string Fold(const std::string& text);
    struct Key {
        std::string name;  // as first written
        std::map<std::string, std::string> values;  // folded name -> value
    };
    std::map<std::string, Key> keys_;  // folded full path -> key
    std::set<std::string> denied_;
};

}  // namespace orvalink
