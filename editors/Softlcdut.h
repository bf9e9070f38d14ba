// The device editor window: one per device, a child window of the main
// window, found again by its slot or its mode. This is the frame the layout
// editor fills; for now it shows the device's name and keeps its record.
#pragma once

#include <QWidget>

#include "image/KeyRecords.h"

class QLabel;

namespace orvalink {

enum EditorMode : int {
    ModeNormal = 1000,
    ModeHomeDevice = 2000,
    ModeMacroDevice = 3000,
};

class TSoftLCDFm : public QWidget {
    Q_OBJECT
public:
    TSoftLCDFm(int slot, EditorMode mode, const QString& name, const KeyInfo& record, QWidget* parent = nullptr);

    int Slot() const { return slot_; }
    EditorMode Mode() const { return mode_; }
    const KeyInfo& Record() const { return record_; }
    // 255 unchanged, 16 changed.
    uint8_t ModifiedMark() const { return modifiedMark_; }
    void SetModifiedMark(uint8_t mark) { modifiedMark_ = mark; }

    // Loading from and storing into the image, and the window's own commands.
    virtual void LoadDevice() {}
    virtual bool StoreIntoImage() { return true; }
    virtual void ReloadFromImage() { LoadDevice(); }
    virtual void m_SaveBtnClick();
    virtual void m_CancelBtnClick();
    virtual void m_CutItClick() {}
    virtual void m_CopyItClick() {}
    virtual void m_PasteItClick() {}
    virtual void m_DeleteItClick() {}

private:
    int slot_;
    EditorMode mode_;
    KeyInfo record_;
    uint8_t modifiedMark_ = kMarkUnchanged;
    QLabel* label_;
};

}  // namespace orvalink
