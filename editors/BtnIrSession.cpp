#include "editors/BtnIrSession.h"

#include <QStatusBar>
#include <QTimer>

namespace orvalink {

namespace {

constexpr int kLearnPollMs = 100;
constexpr int kLeaveWaitMs = 2000;

}  // namespace

BtnIrSession::BtnIrSession(IrLink* link, QStatusBar& status, QObject* parent)
    : QObject(parent), link_(link), status_(status) {
    if (link_) shot_ = std::make_unique<IrShot>(*link_);
    learnTm_ = new QTimer(this);
    learnTm_->setSingleShot(true);
    learnTm_->setInterval(kLearnPollMs);
    connect(learnTm_, &QTimer::timeout, this, [this] { Round(); });
    leaveTm_ = new QTimer(this);
    leaveTm_->setSingleShot(true);
    leaveTm_->setInterval(kLeaveWaitMs);
    connect(leaveTm_, &QTimer::timeout, this, [this] { End(); });
}

BtnIrSession::~BtnIrSession() = default;

void BtnIrSession::Say(const QString& text) { status_.showMessage(text); }

void BtnIrSession::Start(bool cycle, std::function<void(const LearnedCode&)> take) {
    if (learning_) return;
    if (!link_) return Say(QStringLiteral("No link to the remote."));
    cycle_ = cycle;
    take_ = std::move(take);
    learning_ = true;
    ++session_;
    if (learningChanged) learningChanged(true);
    Say(QStringLiteral("Learning: point the other remote at the QM-5100 and press its key."));
    if (!link_->IrLearnStart()) {
        Say(QStringLiteral("The remote did not start learning."));
        End();
        return;
    }
    learnTm_->start();
}

void BtnIrSession::Round() {
    if (!learning_ || roundRunning_) return;
    roundRunning_ = true;
    LearnedCode code{};
    // The remote may keep us waiting up to 4 s; when the user ends learning
    // meanwhile (Leave, OK, Cancel), the wait ends with that event, so no
    // click of theirs runs inside a wait that is still going on.
    const int session = session_;
    const bool got = link_->IrLearnReceive(code, [this, session] { return !learning_ || session_ != session; });
    roundRunning_ = false;
    if (got && learning_ && take_) take_(code);
    if (learning_) learnTm_->start();
}

void BtnIrSession::End() {
    leaveTm_->stop();
    learnTm_->stop();
    if (!learning_) return;
    learning_ = false;
    if (learningChanged) learningChanged(false);
    if (link_) link_->IrStop();
}

void BtnIrSession::Leave() {
    if (!learning_) return;
    Say(QStringLiteral("Leaving learning mode."));
    leaveTm_->start();
}

void BtnIrSession::Shoot(const LearnedCode& send) {
    if (!shot_) return Say(QStringLiteral("No link to the remote."));
    if (!shot_->Press(send)) Say(QStringLiteral("The remote did not take the code."));
}

void BtnIrSession::Release() {
    if (shot_) shot_->Release();
}

}  // namespace orvalink
