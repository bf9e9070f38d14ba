// Starting and stopping orvalink-remote-sim for the end-to-end tests (it
// prints the path of its pseudo-terminal on its first line), and running
// orvalink-cli against it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace orvalink::testing {

// Starts the virtual remote with its flash in `flashFile`; `pty` gets the
// terminal's path. False when it did not start or named no terminal.
inline bool StartRemoteSim(QProcess& sim, const QString& program, const QString& flashFile,
                           const QStringList& extra, QString& pty) {
    sim.setProgram(program);
    sim.setArguments(QStringList{"--flash", flashFile} + extra);
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return false;
    pty = QString::fromUtf8(sim.readLine()).trimmed();
    return !pty.isEmpty();
}

// Ends it (it saves its flash file on the way out); killed when it hangs.
inline void StopRemoteSim(QProcess& sim) {
    if (sim.state() == QProcess::NotRunning) return;
    sim.terminate();
    if (!sim.waitForFinished(5000)) {
        sim.kill();
        sim.waitForFinished(5000);
    }
}

// A file's bytes (empty when it cannot be read), and bytes written over a
// file: the flash files of the virtual remote and the documents around it.
inline std::vector<uint8_t> ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Bytes no two neighbouring pages of which are alike; `seed` tells patterns apart.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> f(size);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 29 + seed + i / 264);
    return f;
}

// What a finished command line program said; exitCode -1 when it did not
// start, did not end within `timeoutMs` (then it is killed) or crashed.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun RunCli(const QString& program, const QStringList& args, const QString& folder,
                     int timeoutMs = 120000) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    CliRun run;
    if (!p.waitForStarted(5000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

}  // namespace orvalink::testing
