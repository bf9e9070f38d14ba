// "Import codes": the signals of an IR code file beside the device's keys.
// Each row is a signal with its decoded protocol and the key it goes to,
// chosen from a box; below, the signals that go to no key and the keys no
// signal goes to. OK hands back the chosen pairs; Cancel changes nothing.
// The rules (what is proposed, what a choice moves) live in ImportProposal.
#pragma once

#include <QDialog>

#include <vector>

#include "editors/core/DeviceCodeImport.h"

class QComboBox;
class QListWidget;
class QTableWidget;

namespace orvalink {

class TCodeImportFm : public QDialog {
    Q_OBJECT
public:
    TCodeImportFm(const std::vector<IrSignal>& irSignals, ImportProposal proposal, const QString& deviceName,
                  QWidget* parent = nullptr);

    const ImportProposal& Proposal() const { return proposal_; }

    // The user picks item `item` (0: no key) of row `row`'s key box; the
    // last choice in a box counts, as if made at once.
    void ChooseKey(int row, int item);

    QTableWidget* m_SignalTable = nullptr;
    QListWidget* m_LoneSignalLBox = nullptr;
    QListWidget* m_LoneKeyLBox = nullptr;

private:
    void ShowProposal();
    QComboBox* KeyBox(int row) const;

    const std::vector<IrSignal>& irSignals_;
    ImportProposal proposal_;
    int editingRow_ = -1;    // the row whose box was changed last
    ImportProposal before_;  // the pairs before that box was first changed
};

}  // namespace orvalink
