// Long-lived windows whose full contents come with their own work: the
// model holder form and the pre-program code picker. They are created at start-up in their place
// and stay hidden until used.
#pragma once

#include <QDialog>
#include <QWidget>

#include "app/AppServices.h"

class QSpinBox;

namespace orvalink {

class TTiModelFm : public QWidget {
    Q_OBJECT
public:
    explicit TTiModelFm(QWidget* parent = nullptr);
};

// The code picker: for now a plain choice of a code number.
class TPreCodeFm : public QDialog, public CodeNumberPicker {
    Q_OBJECT
public:
    explicit TPreCodeFm(QWidget* parent = nullptr);
    bool PickCodeNumber(uint16_t& codeNumber) override;
    QSpinBox* CodeBox() const { return code_; }

private:
    QSpinBox* code_ = nullptr;
};

}  // namespace orvalink
