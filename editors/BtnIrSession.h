// Learning and shooting through the remote for Button Properties' code and
// cycle pages. One learning mode at a time, for one of the two pages: a
// round every 100 ms hands each code the remote delivers to that page, until
// learning is left ("Leave learning mode" ends it 2 s later) or ended at once
// (OK, Cancel, another page). A shot is pressed and released.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "editors/core/IrLink.h"

class QStatusBar;
class QTimer;

namespace orvalink {

class BtnIrSession : public QObject {
    Q_OBJECT
public:
    // Without a link, learning and shooting say so on the status bar.
    BtnIrSession(IrLink* link, QStatusBar& status, QObject* parent);
    ~BtnIrSession() override;

    // Learning for the cycle page (`cycle`) or the code page; every code the
    // remote delivers goes to `take`.
    void Start(bool cycle, std::function<void(const LearnedCode&)> take);
    // "Leave learning mode": learning ends 2 s later.
    void Leave();
    // Learning ends now ("C" to the remote); its timers stop in any case.
    void End();
    bool Learning() const { return learning_; }
    bool ForCycle() const { return cycle_; }
    // Told true when learning starts and false when it ends: the window
    // enables and disables its pages and controls.
    std::function<void(bool learning)> learningChanged;

    void Shoot(const LearnedCode& send);
    // Releases a shot (also one whose press still waits for the remote).
    void Release();

private:
    void Round();
    void Say(const QString& text);

    IrLink* link_;
    QStatusBar& status_;
    std::unique_ptr<IrShot> shot_;
    std::function<void(const LearnedCode&)> take_;
    bool learning_ = false;
    bool cycle_ = false;
    bool roundRunning_ = false;
    int session_ = 0;  // counts the times learning started
    QTimer* learnTm_ = nullptr;
    QTimer* leaveTm_ = nullptr;
};

}  // namespace orvalink
