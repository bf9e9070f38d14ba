// The two link benchmarks' remote: orvalink-remote-sim with real wire timing
// on a flash image of the benchmark's choosing, and the link's port set up
// on it (the pseudo-terminal the simulator names, registered as COM3).
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "link/sim/SimLink.h"
#include "platform/Clock.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtSerialPort.h"

namespace orvalink::bench {

// Writes `flash` into `dir`, starts `sim` on it and returns the path of the
// pseudo-terminal it serves, or "" (said on stderr as `program`) when the
// simulator did not start or named no port within 5 s each.
inline std::string StartRemoteSim(QProcess& remote, const QString& sim, const QTemporaryDir& dir,
                                  const std::vector<uint8_t>& flash, const char* program) {
    const QString flashFile = dir.filePath("remote.flash");
    {
        std::ofstream out(flashFile.toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(flash.data()), std::streamsize(flash.size()));
    }
    remote.setProgram(sim);
    remote.setArguments({"--flash", flashFile, "--wire"});
    remote.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    remote.start();
    if (!remote.waitForStarted(5000) || !remote.waitForReadyRead(5000)) {
        std::fprintf(stderr, "%s: cannot start %s\n", program, qPrintable(sim));
        return std::string();
    }
    return QString::fromUtf8(remote.readLine()).trimmed().toStdString();
}

// The serial port's name for a COM number: the simulator's pseudo-terminal
// for the registered one, nothing for any other.
inline auto SimPortNames(const std::string& path) {
    return [path](int n) { return n == kSimComNumber ? path : std::string(); };
}

// The simulator program: the first argument, else `besideUs` relative to
// the benchmark's own folder.
inline QString SimProgram(int argc, char** argv, const char* besideUs) {
    if (argc > 1) return QString::fromLocal8Bit(argv[1]);
    return QCoreApplication::applicationDirPath() + "/" + besideUs;
}

// The remote's flash the link benchmarks start from: no two neighbouring
// pages alike.
inline std::vector<uint8_t> PatternedRemoteFlash(size_t bytes) {
    std::vector<uint8_t> flash(bytes);
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = uint8_t(i * 29 + i / 264);
    return flash;
}

// A transfer's progress that shows nothing.
class QuietProgress final : public TransferProgress {
public:
    void Open(const std::string&, int) override {}
    void SetPosition(int) override {}
    void Succeeded() override {}
    bool Closed() const override { return true; }
    void Release() override {}
};

// The link engine of a benchmark on the simulator's pseudo-terminal at
// `path` (registered as the simulator's COM port), with the real port, the
// Qt event pump and the system clock.
struct BenchLink {
    explicit BenchLink(const std::string& path) : port(SimPortNames(path)) {}
    QtSerialPort port;
    QtEventPump pump;
    MemoryRegistry registry;
    bool registered = (RegisterSimPort(registry, "bench"), true);
    ScriptedUiServices ui;
    SystemClock clock;
    LinkView view;
    LinkEngine link{port, pump, registry, ui, clock, view};
};

}  // namespace orvalink::bench
