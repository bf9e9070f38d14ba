// The two link benchmarks' remote: orvalink-remote-sim with real wire timing
// on a flash image of the benchmark's choosing, and the link's port set up
// on it (the pseudo-terminal the simulator names, registered as COM3).
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "link/sim/SimLink.h"

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

}  // namespace orvalink::bench
