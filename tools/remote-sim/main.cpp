// orvalink-remote-sim: a virtual QM-5100 on the far end of a pseudo-terminal.
//
// It opens a pseudo-terminal, prints the path of its terminal side (the
// "cable" Orvalink opens) on the first line of its output, and answers there
// as the remote does: wake-up, block reads and writes, clock, IR learn and
// send, and the older packet protocol. Its flash lives in a file that it
// loads at start and saves after every upload. Codes to learn can be handed
// to it (--learn), and it can keep a log of the IR codes it learns, takes,
// fires and releases (--ir-log). It never spins: it sleeps in
// poll() until bytes arrive or its next reply is due.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "link/sim/VirtualRemote.h"

using namespace orvalink;

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

uint64_t NowMicros() {
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

int SpeedToRate(speed_t s) {
    switch (s) {
        case B300: return 300;
        case B600: return 600;
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        default: return 0;
    }
}

struct Options {
    std::string flash;
    std::string link;
    bool wire = false;
    int wireRate = 0;
    bool verbose = false;
    std::string learn;
    std::string irLog;
    RemoteFaults faults;
    BootFaults boot;
    std::string olderFlash;
    FarEnd farEnd = FarEnd::Remote;
    JigFaults jig;
};

void Usage(std::FILE* to = stderr) {
    std::fprintf(to,
                 "usage: orvalink-remote-sim [options]\n"
                 "  --flash FILE         the remote's flash (1081344 bytes); loaded if it exists,\n"
                 "                       saved after every upload\n"
                 "  --link PATH          also make PATH a symbolic link to the terminal\n"
                 "  --wire               real wire timing at the bit rate the program set\n"
                 "  --wire-rate N        real wire timing at N bit/s\n"
                 "  --refuse-block N     refuse block N of a write ('C')\n"
                 "  --refuse-times K     ... K times (default: always)\n"
                 "  --corrupt-block N    send block N of a read with a wrong checksum\n"
                 "  --silent-after N     say nothing more after N blocks\n"
                 "  --hang-up-after N    hang up the line after N blocks\n"
                 "  --garbage            answer everything with random bytes\n"
                 "  --store-other N      acknowledge block N of a write but store other bytes\n"
                 "  --flip-bit N         store block N of a write with one bit flipped\n"
                 "  --learn PATH         codes to learn: a 512-byte file, or a folder of them\n"
                 "                       taken in name order; one a learning round, in turn\n"
                 "  --ir-log FILE        append a line for every IR code learned, received,\n"
                 "                       fired and released (\"received\" and \"learned\" with\n"
                 "                       the code in hex)\n"
                 "  At \"PROG\" (boot loaders and TI flash; the firmware lives in FILE.mcu beside\n"
                 "  the flash file):\n"
                 "  --identify TEXT      the binary boot loader's identification (QM-5100)\n"
                 "  --refuse-page N      refuse page N of a program ('C') ...\n"
                 "  --refuse-page-times K  ... K times (default 1)\n"
                 "  --mute-page N        leave page N unanswered ...\n"
                 "  --mute-times K       ... K times\n"
                 "  --error-times K      answer the first K \"WRITE\"s with \"ERROR\"\n"
                 "  --fail-erase K       answer the first K \"ERASE\"s with \"FAIL\"\n"
                 "  --fail-complete K    answer the first K \"COMPLETE\"s with \"FAIL\"\n"
                 "  --vc-acknowledge     answer text-loader pages with their Sum16\n"
                 "  --chip-id N          the ROM boot mode's chip check answer (1280)\n"
                 "  --wrong-echo N       echo loader byte N wrongly\n"
                 "  --bad-sum-block N    TI flash block N with a wrong Sum32\n"
                 "  --older-flash FILE   a 256 KB older flash (262144 bytes) for the packet\n"
                 "                       protocol; loaded if it exists, saved after writes\n"
                 "  --jig                the loop-back test jig instead of the remote\n"
                 "  --jig-drop N         the jig loses byte N of every 1024\n"
                 "  --jig-change N       the jig changes byte N of every 1024\n"
                 "  --cable-only         nothing on the far end of the cable\n"
                 "  --verbose            log the commands on standard error\n"
                 "  --help               this text\n"
                 "  --version            the version\n");
}

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!end || *end || v < 0 || v > 1'000'000'000) return false;
    out = int(v);
    return true;
}

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](int& v) { return i + 1 < argc && ParseInt(argv[++i], v); };
        if (a == "--flash" && i + 1 < argc) o.flash = argv[++i];
        else if (a == "--link" && i + 1 < argc) o.link = argv[++i];
        else if (a == "--wire") o.wire = true;
        else if (a == "--wire-rate") {
            if (!next(o.wireRate) || o.wireRate == 0) return false;
            o.wire = true;
        } else if (a == "--refuse-block") { if (!next(o.faults.refuseBlock)) return false; }
        else if (a == "--refuse-times") { if (!next(o.faults.refuseTimes)) return false; }
        else if (a == "--corrupt-block") { if (!next(o.faults.corruptBlock)) return false; }
        else if (a == "--silent-after") { if (!next(o.faults.silentAfter)) return false; }
        else if (a == "--hang-up-after") { if (!next(o.faults.hangUpAfter)) return false; }
        else if (a == "--garbage") o.faults.garbage = true;
        else if (a == "--store-other") { if (!next(o.faults.storeOtherBlock)) return false; }
        else if (a == "--flip-bit") { if (!next(o.faults.flipBitBlock)) return false; }
        else if (a == "--learn" && i + 1 < argc) o.learn = argv[++i];
        else if (a == "--ir-log" && i + 1 < argc) o.irLog = argv[++i];
        else if (a == "--identify" && i + 1 < argc) o.boot.identification = argv[++i];
        else if (a == "--refuse-page") { if (!next(o.boot.refusePage)) return false; }
        else if (a == "--refuse-page-times") { if (!next(o.boot.refuseTimes)) return false; }
        else if (a == "--mute-page") { if (!next(o.boot.mutePage)) return false; }
        else if (a == "--mute-times") { if (!next(o.boot.muteTimes)) return false; }
        else if (a == "--error-times") { if (!next(o.boot.errorTimes)) return false; }
        else if (a == "--fail-erase") { if (!next(o.boot.failEraseTimes)) return false; }
        else if (a == "--fail-complete") { if (!next(o.boot.failCompleteTimes)) return false; }
        else if (a == "--vc-acknowledge") o.boot.vcAcknowledge = true;
        else if (a == "--chip-id") {
            int v = 0;
            if (!next(v) || v > 0xFFFF) return false;
            o.boot.chipId = uint16_t(v);
        }
        else if (a == "--wrong-echo") { if (!next(o.boot.wrongEchoAt)) return false; }
        else if (a == "--bad-sum-block") { if (!next(o.boot.badSumBlock)) return false; }
        else if (a == "--older-flash" && i + 1 < argc) o.olderFlash = argv[++i];
        else if (a == "--jig") o.farEnd = FarEnd::Jig;
        else if (a == "--jig-drop") { if (!next(o.jig.dropByte)) return false; o.farEnd = FarEnd::Jig; }
        else if (a == "--jig-change") { if (!next(o.jig.changeByte)) return false; o.farEnd = FarEnd::Jig; }
        else if (a == "--cable-only") o.farEnd = FarEnd::Nothing;
        else if (a == "--verbose") o.verbose = true;
        else return false;
    }
    return true;
}

// The codes of --learn: one file, or every file of a folder in name order;
// each must be 512 bytes.
bool ReadLearnCodes(const std::string& path, std::vector<std::array<uint8_t, 512>>& codes, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    if (fs::is_directory(path, ec)) {
        for (const auto& e : fs::directory_iterator(path, ec))
            if (e.is_regular_file()) files.push_back(e.path());
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(path);
    }
    if (files.empty()) {
        error = "no learned codes in " + path;
        return false;
    }
    std::vector<std::array<uint8_t, 512>> read;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            error = "cannot read " + f.string();
            return false;
        }
        if (bytes.size() != 512) {
            error = f.string() + " is no learned code (" + std::to_string(bytes.size()) + " bytes, not 512)";
            return false;
        }
        std::array<uint8_t, 512> code{};
        std::copy(bytes.begin(), bytes.end(), code.begin());
        read.push_back(code);
    }
    codes = std::move(read);
    return true;
}

// One line of the IR log.
std::string IrLogLine(VirtualRemote::IrEvent event, std::span<const uint8_t> code) {
    static const char* const kNames[] = {"learned", "received", "fired", "released"};
    std::string line = kNames[int(event)];
    if (!code.empty()) {
        static const char* const kHex = "0123456789abcdef";
        line += ' ';
        for (uint8_t b : code) {
            line += kHex[b >> 4];
            line += kHex[b & 15];
        }
    }
    return line + "\n";
}

// Bytes on their way, each due at its time (wire timing) or at once.
struct Timed {
    uint64_t due;
    uint8_t byte;
    int baud;
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("orvalink-remote-sim %s\n", ORVALINK_VERSION);
            return 0;
        }
    }
    Options opt;
    if (!Parse(argc, argv, opt)) {
        Usage();
        return 2;
    }

    VirtualRemote remote;
    remote.SetLenientWake(true);
    remote.Faults() = opt.faults;
    remote.Boot().Faults() = opt.boot;
    OlderRemote older;
    older.SetEnd(opt.farEnd);
    older.Faults() = opt.jig;
    if (!opt.olderFlash.empty() && std::filesystem::exists(opt.olderFlash)) {
        std::string error;
        if (!older.LoadFlash(opt.olderFlash, error)) {
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
            return 1;
        }
    }
    if (!opt.olderFlash.empty() || opt.farEnd != FarEnd::Remote) remote.SetOlderRemote(&older);
    if (!opt.flash.empty() && std::filesystem::exists(opt.flash)) {
        std::string error;
        if (!remote.LoadFlash(opt.flash, error)) {
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
            return 1;
        }
    }
    const std::string firmwarePath = opt.flash.empty() ? std::string() : opt.flash + ".mcu";
    if (!firmwarePath.empty() && std::filesystem::exists(firmwarePath)) {
        std::string error;
        if (!remote.Boot().LoadFirmware(firmwarePath, error)) {
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
            return 1;
        }
    }

    if (!opt.learn.empty()) {
        std::vector<std::array<uint8_t, 512>> codes;
        std::string error;
        if (!ReadLearnCodes(opt.learn, codes, error)) {
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
            return 1;
        }
        remote.SetLearnQueue(std::move(codes));
    }
    int irLog = -1;
    if (!opt.irLog.empty()) {
        irLog = open(opt.irLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (irLog < 0) {
            std::fprintf(stderr, "orvalink-remote-sim: cannot open %s: %s\n", opt.irLog.c_str(), std::strerror(errno));
            return 1;
        }
        // Each line goes out in one write, so a reader never sees half of one.
        remote.SetIrEventHandler([irLog](VirtualRemote::IrEvent event, std::span<const uint8_t> code) {
            const std::string line = IrLogLine(event, code);
            if (write(irLog, line.data(), line.size()) != ssize_t(line.size()))
                std::fprintf(stderr, "orvalink-remote-sim: the IR log is not written\n");
        });
    }

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "orvalink-remote-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const char* name = ptsname(master);
    if (!name) {
        std::fprintf(stderr, "orvalink-remote-sim: no terminal name: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string slavePath = name;
    // Holding the terminal side open ourselves keeps the line up while the
    // program closes and reopens the port (a hang-up would make poll() spin).
    int keep = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    if (keep < 0 || tcgetattr(keep, &t) != 0) {
        std::fprintf(stderr, "orvalink-remote-sim: cannot set up %s: %s\n", slavePath.c_str(), std::strerror(errno));
        return 1;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(keep, TCSANOW, &t);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!opt.link.empty()) {
        std::error_code ec;
        std::filesystem::remove(opt.link, ec);
        std::filesystem::create_symlink(slavePath, opt.link, ec);
        if (ec) std::fprintf(stderr, "orvalink-remote-sim: cannot link %s: %s\n", opt.link.c_str(), ec.message().c_str());
    }
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    auto lineRate = [&]() {
        termios now{};
        if (tcgetattr(keep, &now) != 0) return 0;
        return SpeedToRate(cfgetospeed(&now));
    };
    // Wire time of one character (start, 8 data and stop bits), in nanoseconds.
    auto charNanos = [&](int baud) -> uint64_t {
        if (opt.wireRate) baud = opt.wireRate;
        return baud > 0 ? 10'000'000'000ull / uint64_t(baud) : 0;
    };

    std::deque<Timed> toPc;    // what the remote sends
    std::deque<Timed> fromPc;  // what the program sent, until it has crossed the wire
    uint64_t toPcFree = 0, fromPcFree = 0;  // nanoseconds
    bool hungUp = false;
    bool flashDirty = false;

    remote.SetOutput([&](std::span<const uint8_t> bytes, int baud) {
        const uint64_t now = NowMicros();
        for (uint8_t b : bytes) {
            uint64_t due = now;
            if (opt.wire) {
                toPcFree = std::max(toPcFree, now * 1000) + charNanos(baud);
                due = (toPcFree + 999) / 1000;
            }
            toPc.push_back({due, b, baud});
        }
    });
    remote.SetHangUpHandler([&] { hungUp = true; });
    auto save = [&] {
        if (opt.flash.empty()) return;
        std::string error;
        if (!remote.SaveFlash(opt.flash, error)) std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
        flashDirty = false;
    };
    remote.SetFlashChangedHandler([&] { flashDirty = true; });
    remote.Boot().SetFlashWrittenHandler([&] { flashDirty = true; });
    remote.Boot().SetFirmwareWrittenHandler([&] {
        if (firmwarePath.empty()) return;
        std::string error;
        if (!remote.Boot().SaveFirmware(firmwarePath, error))
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
    });

    // The older flash is saved once its writes have paused.
    uint64_t olderSaved = 0, olderSeen = 0, olderChangedAt = 0;
    auto saveOlder = [&] {
        std::string error;
        if (!opt.olderFlash.empty() && !older.SaveFlash(opt.olderFlash, error))
            std::fprintf(stderr, "orvalink-remote-sim: %s\n", error.c_str());
        olderSaved = older.Changes();
    };
    size_t commandsLogged = 0;
    std::vector<uint8_t> buf(4096);
    std::vector<uint8_t> out;
    while (!gStop) {
        uint64_t now = NowMicros();
        // Bytes from the program that have crossed the wire reach the remote.
        while (!fromPc.empty() && fromPc.front().due <= now) {
            const int baud = fromPc.front().baud;
            std::vector<uint8_t> chunk;
            while (!fromPc.empty() && fromPc.front().due <= now && fromPc.front().baud == baud) {
                chunk.push_back(fromPc.front().byte);
                fromPc.pop_front();
            }
            remote.Receive(chunk, baud, now);
        }
        remote.RunUntil(now);
        if (flashDirty) save();
        if (older.Changes() != olderSeen) {
            olderSeen = older.Changes();
            olderChangedAt = now;
        }
        if (olderSaved != olderSeen && now >= olderChangedAt + 200'000) saveOlder();
        if (opt.verbose) {
            for (; commandsLogged < remote.Commands().size(); ++commandsLogged)
                std::fprintf(stderr, "command 0x%02X\n", remote.Commands()[commandsLogged]);
        }
        if (hungUp) {
            std::fprintf(stderr, "orvalink-remote-sim: hanging up\n");
            close(keep);
            close(master);
            if (flashDirty) save();
            return 0;
        }
        // What the remote sent and is due goes out.
        out.clear();
        size_t due = 0;
        while (due < toPc.size() && toPc[due].due <= now) out.push_back(toPc[due++].byte);
        bool blocked = false;  // the terminal takes no more until the program reads
        if (!out.empty()) {
            ssize_t n = write(master, out.data(), out.size());
            if (n > 0) toPc.erase(toPc.begin(), toPc.begin() + n);
            blocked = n < ssize_t(out.size());
        }

        // Sleep until input, or until the next thing is due. Bytes on the
        // wire are handed over once a millisecond, as a USB-serial adapter
        // does; the last of a run leaves on its time.
        auto wakeFor = [now](const std::deque<Timed>& q) {
            const uint64_t back = q.back().due;
            return back <= now + 1000 ? back : std::max(q.front().due, now + 1000);
        };
        uint64_t next = remote.NextEventMicros();
        if (olderSaved != olderSeen) next = std::min(next, olderChangedAt + 200'000);
        if (!toPc.empty()) next = std::min(next, blocked ? now + 10'000 : wakeFor(toPc));
        if (!fromPc.empty()) next = std::min(next, wakeFor(fromPc));
        uint64_t waitUs = 1'000'000;
        if (next != VirtualRemote::kNever) waitUs = std::min<uint64_t>(next > now ? next - now : 0, 1'000'000);
        timespec ts{time_t(waitUs / 1'000'000), long(waitUs % 1'000'000) * 1000};
        pollfd p{master, POLLIN, 0};
        if (blocked) p.events |= POLLOUT;
        int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p.revents & POLLIN)) {
            ssize_t n = read(master, buf.data(), buf.size());
            if (n > 0) {
                const uint64_t at = NowMicros();
                const int baud = lineRate();
                for (ssize_t i = 0; i < n; ++i) {
                    uint64_t arrive = at;
                    if (opt.wire) {
                        fromPcFree = std::max(fromPcFree, at * 1000) + charNanos(baud);
                        arrive = (fromPcFree + 999) / 1000;
                    }
                    fromPc.push_back({arrive, buf[size_t(i)], baud});
                }
            }
        }
    }
    if (flashDirty) save();
    if (irLog >= 0) close(irLog);
    if (olderSaved != older.Changes()) saveOlder();
    close(keep);
    close(master);
    if (!opt.link.empty()) {
        std::error_code ec;
        std::filesystem::remove(opt.link, ec);
    }
    return 0;
}
