// A folder of the fuzz target's own below the system's temporary folder, for
// readers that take a file: made on first use, removed when the program ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>

#include <unistd.h>

namespace orvalink::fuzz {

class FuzzFolder {
public:
    explicit FuzzFolder(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_, ec);
    }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `bytes` as the file `name` in the folder, replacing any.
    std::filesystem::path Write(const std::string& name, std::span<const uint8_t> bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file;
    }
    void Remove(const std::string& name) const {
        std::error_code ec;
        std::filesystem::remove(path_ / name, ec);
    }

private:
    std::filesystem::path path_;
};

}  // namespace orvalink::fuzz
