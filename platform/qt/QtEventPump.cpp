#include "platform/qt/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace orvalink {

bool QtEventPump::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    if (done()) return true;
    if (!QCoreApplication::instance()) {
        // No event loop to run: nothing can change while we wait.
        QThread::msleep(timeoutMs);
        return done();
    }
    struct Depth {
        int& d;
        explicit Depth(int& depth) : d(depth) { ++d; }
        ~Depth() { --d; }
    } depth(depth_);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(int(std::min<uint32_t>(timeoutMs, uint32_t(INT32_MAX))));
    // Every event (bytes arrived, a button pressed, the deadline) wakes the
    // dispatcher; between them the thread sleeps.
    while (deadline.isActive()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (done()) return true;
    }
    return done();
}

}  // namespace orvalink
