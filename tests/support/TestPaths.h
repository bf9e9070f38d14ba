#pragma once
// Where the build put what the tests use: the programs, the staged program
// folder, the test data. The compile commands name none of these paths, so an
// object compiled in one checkout serves every other through the compiler
// cache. The build writes them as NAME=value lines into
// orvalink-test-paths.txt at the top of its folder; a test program finds that
// file by walking up from its own location, and a variable of the same NAME in
// the environment overrides a line. Every test target gets this header
// included first, and each path it uses as a macro of that NAME.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

namespace orvalink_test_paths_detail {

inline std::filesystem::path FindPathsFile() {
    if (const char* named = std::getenv("ORVALINK_TEST_PATHS"); named != nullptr && *named != '\0') return named;
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    if (ec) dir = std::filesystem::current_path(ec);
    for (int depth = 0; depth < 16 && !dir.empty(); ++depth) {
        const auto candidate = dir / "orvalink-test-paths.txt";
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return {};
}

inline const std::map<std::string, std::string>& Paths() {
    static const std::map<std::string, std::string> paths = [] {
        std::map<std::string, std::string> read;
        const auto file = FindPathsFile();
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq != std::string::npos) read.emplace(line.substr(0, eq), line.substr(eq + 1));
        }
        return read;
    }();
    return paths;
}

}  // namespace orvalink_test_paths_detail

// The path the build gave NAME; a test program that cannot learn it stops at
// once with a message, rather than testing against an empty path.
inline const char* OrvalinkTestPath(const char* name) {
    static std::map<std::string, std::string> fromEnvironment;
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
        return fromEnvironment.insert_or_assign(name, value).first->second.c_str();
    }
    const auto& paths = orvalink_test_paths_detail::Paths();
    if (const auto it = paths.find(name); it != paths.end()) return it->second.c_str();
    std::fprintf(stderr,
                 "%s: not known. The build writes it into orvalink-test-paths.txt at the top of the build "
                 "folder; run the test from there (or through ctest), or set %s.\n",
                 name, name);
    std::abort();
}
