// A plain stand-in for the key property editor: it shows the key's number,
// type and label text with OK and Cancel, and gives the key back unchanged.
// The layout editor reaches it only through KeyPropertyEditor, so the real
// key property editor takes its place without touching the layout editor.
#pragma once

#include <QDialog>

#include "editors/core/KeyPropertyEditor.h"

class QLabel;

namespace orvalink {

class TKeyStandInFm : public QDialog, public KeyPropertyEditor {
    Q_OBJECT
public:
    explicit TKeyStandInFm(QWidget* parent = nullptr);

    // Shows the key modally; true on OK.
    bool EditKey(LayoutKey& key, const KeyEditContext& context) override;
    // Fills the dialog with a key without showing it.
    void ShowKey(const LayoutKey& key, const KeyEditContext& context);

    QString NumberText() const;
    QString TypeText() const;
    QString LabelText() const;
    QString ModeText() const;

private:
    QLabel* number_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* label_ = nullptr;
    QLabel* mode_ = nullptr;
};

}  // namespace orvalink
