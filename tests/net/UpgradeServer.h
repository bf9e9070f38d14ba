// The upgrade server of the fetch tests: tests/net/upgrade_server.py on a
// free loopback port, over a temporary folder the test fills. It ends when
// the fixture closes its standard input (and is killed if it lingers).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvalink::testing {

class UpgradeServer {
public:
    // `root` is the folder served; its "downloads/upgrade" is the base.
    explicit UpgradeServer(const std::filesystem::path& root) : root_(root) {
        std::filesystem::create_directories(root_ / "downloads" / "upgrade");
        // Made before the fork: the child only calls what is safe there.
        const std::string script = ORVALINK_UPGRADE_SERVER_SCRIPT;
        const std::string folder = root_.string();
        int toServer[2], fromServer[2];
        if (pipe2(toServer, O_CLOEXEC) != 0 || pipe2(fromServer, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toServer[0], 0);
            dup2(fromServer[1], 1);
            close(toServer[1]);
            close(fromServer[0]);
            execlp("python3", "python3", script.c_str(), folder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toServer[0]);
        close(fromServer[1]);
        stdin_ = toServer[1];
        // The first line is the port; end of file when the server did not start.
        std::string line;
        char c;
        while (read(fromServer[0], &c, 1) == 1 && c != '\n') line += c;
        close(fromServer[0]);
        if (!line.empty()) port_ = std::stoi(line);
    }
    ~UpgradeServer() {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    UpgradeServer(const UpgradeServer&) = delete;
    UpgradeServer& operator=(const UpgradeServer&) = delete;

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    std::string Base(const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(port_) + "/downloads/upgrade";
    }
    std::filesystem::path Folder() const { return root_ / "downloads" / "upgrade"; }

    void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Folder() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void Put(const std::string& name, const std::string& text) const {
        std::ofstream(Folder() / name, std::ios::binary) << text;
    }
    // The behaviour rules (see the script), as JSON text.
    void Rules(const std::string& json) const { std::ofstream(root_ / "rules.json") << json; }
    // The paths asked for so far, in order.
    std::vector<std::string> Requests() const {
        std::vector<std::string> paths;
        std::ifstream in(root_ / "requests.log");
        for (std::string line; std::getline(in, line);) paths.push_back(line);
        return paths;
    }
    void ForgetRequests() const { std::filesystem::remove(root_ / "requests.log"); }

private:
    std::filesystem::path root_;
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

}  // namespace orvalink::testing
