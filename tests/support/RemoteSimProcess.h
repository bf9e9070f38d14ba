// Starting and stopping orvalink-remote-sim for the end-to-end tests: it
// prints the path of its pseudo-terminal on its first line.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

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

}  // namespace orvalink::testing
