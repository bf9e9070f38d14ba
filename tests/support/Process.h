// Runs a program (no shell in between) and collects its exit status,
// standard output and standard error, and the CPU time it used. A program
// that does not end within the time-out is killed, so a test never hangs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace orvalink::testing {

struct ProcessOptions {
    std::filesystem::path workingDirectory;      // empty: the test's own
    std::chrono::milliseconds timeout{120000};   // then the program is killed
    // The size a file may grow to (RLIMIT_FSIZE), as `ulimit -f` sets it in a
    // shell: a write beyond it raises SIGXFSZ, which ends a program that
    // does not handle it. 0: no limit.
    uint64_t fileSizeLimit = 0;
    // Changes to the environment: "NAME=value" sets, "NAME" alone removes.
    std::vector<std::string> environment;
    // Called in the test while the program runs (to signal it, say).
    std::function<void(pid_t)> whileRunning;
};

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not start, was killed or timed out
    bool timedOut = false;
    std::string out;
    std::string err;
    double cpuSeconds = 0;   // user and system time of the program
    double wallSeconds = 0;  // from start to end
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Sends `number` to the program once its standard error (in `errPath`)
// shows `text`, `afterMs` later; after 20 s without it, at once.
inline std::function<void(pid_t)> SignalWhen(const std::string& errPath, const std::string& text, int number,
                                      int afterMs = 0) {
    return [=](pid_t pid) {
        for (int i = 0; i < 400; ++i) {
            if (ReadWholeFile(errPath).find(text) != std::string::npos) break;
            ::usleep(50000);
        }
        ::usleep(useconds_t(afterMs) * 1000);
        ::kill(pid, number);
    };
}

namespace detail {

// Waits until the child ends or `deadline`; true when it ended. Sleeps in
// poll() on a process descriptor where the system has one.
inline bool WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
#if defined(SYS_pidfd_open)
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        bool ended = false;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{pidfd, POLLIN, 0};
            const int n = ::poll(&p, 1, int(std::min<long long>(left.count(), 1000)));
            if (n > 0) {
                ended = true;
                break;
            }
            if (n < 0 && errno != EINTR) break;
        }
        ::close(pidfd);
        return ended;
    }
#endif
    // No process descriptor: look every 20 ms.
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace detail

inline ProcessResult RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& scratch,
                                const ProcessOptions& options = {}) {
    ProcessResult result;
    const std::string outPath = (scratch / "process.out").string();
    const std::string errPath = (scratch / "process.err").string();
    const std::string folder = options.workingDirectory.string();
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The child's environment, made before the fork.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool changed = false;
        for (const std::string& c : options.environment)
            if (c.substr(0, c.find('=')) == name) changed = true;
        if (!changed) env.push_back(entry);
    }
    for (const std::string& c : options.environment)
        if (c.find('=') != std::string::npos) env.push_back(c);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return result;
    if (pid == 0) {
        // Only calls that are safe between fork and exec.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(127);
        if (options.fileSizeLimit > 0) {
            rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
        }
        // Signals as a shell leaves them for the programs it starts.
        struct sigaction fallback{};
        fallback.sa_handler = SIG_DFL;
        for (int number : {SIGINT, SIGTERM, SIGXFSZ, SIGPIPE}) ::sigaction(number, &fallback, nullptr);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (options.whileRunning) options.whileRunning(pid);

    if (!detail::WaitForExit(pid, started + options.timeout)) {
        result.timedOut = true;
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    return result;
}

}  // namespace orvalink::testing
