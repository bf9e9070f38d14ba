// An empty folder of our own for the command line's link commands (the
// registry view's sysfs root), removed again with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace orvalink {

// An empty folder of our own, removed again with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "orvalink-cli.XXXXXX").string();
        if (ec) pattern = "/tmp/orvalink-cli.XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data())) path_ = name.data();
    }
    ~TemporaryFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    bool IsValid() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace orvalink
