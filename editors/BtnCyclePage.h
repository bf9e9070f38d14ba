// The "Cycle" page of Button Properties: the up to six learned codes of a
// cycle key in their grid, learned through the remote one after the other,
// shot to test them, removed and moved, each shown with its waveform.
#pragma once

#include <QWidget>

#include <functional>

#include "editors/BtnShared.h"
#include "editors/core/CycleDraft.h"

class QPushButton;
class QStatusBar;
class QTableWidget;

namespace orvalink {

class BtnIrSession;
class BtnWaveform;

class TBtnCyclePage : public QWidget {
    Q_OBJECT
public:
    // `showValues` shows a step's code type, carrier and protocol (on the
    // code page).
    TBtnCyclePage(BtnOpenKey& open, BtnIrSession& session, const BtnServices& services, QStatusBar& status,
                  std::function<void(const IrCodeInfo&)> showValues, QWidget* parent);

    // The open key's steps, when it is a cycle key.
    void LoadFromKey();
    // No steps, an empty grid and chart.
    void Clear();
    const CycleDraft& Cycle() const { return cycle_; }
    // As the code page's.
    void SetLearningControls(bool learning, bool own);

    // ---- User events.
    void m_cLearnBtnClick();
    void m_cLeaveBtnClick();
    void m_cShootBtnDown();
    void m_cShootBtnUp();
    void m_cRemoveBtnClick();
    void m_cUpBtnClick();
    void m_cDownBtnClick();
    void m_CycleGridSelect(int row);

    // ---- The parts, for the tests.
    QTableWidget* Grid() const { return m_CycleGrid; }
    BtnWaveform* Chart() const { return m_cCht; }

private:
    void Build();
    void Say(const QString& text);
    void FillCycleGrid();
    void ShowCode(const IrCodeInfo& code);
    void TakeLearned(const LearnedCode& code);

    BtnOpenKey& open_;
    BtnIrSession& session_;
    UiServices& ui_;
    Random& random_;
    QStatusBar& status_;
    std::function<void(const IrCodeInfo&)> showValues_;
    CycleDraft cycle_;

    QTableWidget* m_CycleGrid = nullptr;
    QPushButton* m_cLearnBtn = nullptr;
    QPushButton* m_cShootBtn = nullptr;
    QPushButton* m_cRemoveBtn = nullptr;
    QPushButton* m_cUpBtn = nullptr;
    QPushButton* m_cDownBtn = nullptr;
    QPushButton* m_cLeaveBtn = nullptr;
    BtnWaveform* m_cCht = nullptr;
};

}  // namespace orvalink
