// The layout editor's hard-key panel: the six hard keys as buttons (and the
// disabled "Light" and "Menu"), their colours by drawing state, and the mouse
// on them.
#include "editors/Softlcdut.h"

#include <QGridLayout>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include "image/KeyGeometry.h"
#include "image/Tiflashut.h"

namespace orvalink {

namespace {

const char* const kHardKeyNames[kHardKeyCount] = {"Power", "Vol +", "Vol -", "Ch +", "Ch -", "Mute"};

// The face and text colours of a hard key button in a drawing state.
QString HardKeyStyle(int state) {
    switch (state) {
        case kStateSelected: return QStringLiteral("background-color: rgb(255,0,0); color: rgb(255,255,255);");
        case kStatePressed: return QStringLiteral("background-color: rgb(0,0,255); color: rgb(255,255,0);");
        case kStateMarked: return QStringLiteral("background-color: rgb(255,255,0); color: rgb(255,0,0);");
        default: return QStringLiteral("background-color: rgb(192,192,192); color: rgb(0,0,0);");
    }
}

}  // namespace

void TSoftLCDFm::BuildHardKeys() {
    m_HardKeyPal = new QWidget(m_RightPal);
    m_HardKeyPal->setObjectName(QStringLiteral("m_HardKeyPal"));
    m_HardKeyPal->setAccessibleName(QStringLiteral("Hard keys"));
    auto* grid = new QGridLayout(m_HardKeyPal);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    auto place = [&](QPushButton* b, int row, int column) {
        b->setMinimumWidth(48);
        grid->addWidget(b, row, column);
    };
    for (int k = 0; k < kHardKeyCount; ++k) {
        m_SBtn[k] = new QPushButton(QString::fromLatin1(kHardKeyNames[k]), m_HardKeyPal);
        m_SBtn[k]->setObjectName(QStringLiteral("m_SBtn%1").arg(k, 2, 10, QLatin1Char('0')));
        m_SBtn[k]->setAccessibleName(QString::fromLatin1(kHardKeyNames[k]));
        m_SBtn[k]->setToolTip(QStringLiteral("Key %1, hard key %2").arg(k).arg(QString::fromLatin1(kHardKeyNames[k])));
        m_SBtn[k]->setFocusPolicy(Qt::NoFocus);
        m_SBtn[k]->installEventFilter(this);
        hardStates_[k] = kStateNormal;
        m_SBtn[k]->setStyleSheet(HardKeyStyle(kStateNormal));
    }
    auto* light = new QPushButton(QStringLiteral("Light"), m_HardKeyPal);
    light->setObjectName(QStringLiteral("m_LightBtn"));
    light->setAccessibleName(QStringLiteral("Light"));
    light->setEnabled(false);
    auto* menu = new QPushButton(QStringLiteral("Menu"), m_HardKeyPal);
    menu->setObjectName(QStringLiteral("m_MenuBtn"));
    menu->setAccessibleName(QStringLiteral("Menu"));
    menu->setEnabled(false);
    place(m_SBtn[5], 0, 0);  // Mute
    place(light, 0, 1);
    place(m_SBtn[0], 0, 2);  // Power
    place(m_SBtn[2], 1, 0);  // Vol -
    place(menu, 1, 1);
    place(m_SBtn[1], 1, 2);  // Vol +
    place(m_SBtn[3], 2, 1);  // Ch +
    place(m_SBtn[4], 3, 1);  // Ch -
}

QPushButton* TSoftLCDFm::HardKeyButton(int keyNumber) const {
    return keyNumber >= 0 && keyNumber < kHardKeyCount ? m_SBtn[keyNumber] : nullptr;
}

int TSoftLCDFm::HardKeyState(int keyNumber) const {
    auto it = hardStates_.find(keyNumber);
    return it == hardStates_.end() ? 0 : it->second;
}

void TSoftLCDFm::PutHardKeyState(int keyNumber, int state) {
    if (keyNumber < 0 || keyNumber >= kHardKeyCount) return;
    if (hardStates_[keyNumber] == state) return;
    hardStates_[keyNumber] = state;
    m_SBtn[keyNumber]->setStyleSheet(HardKeyStyle(state));
}

void TSoftLCDFm::HardKeyMouseDown(int keyNumber, Qt::MouseButton button, const QPoint& globalPos) {
    if (!m_HardKeyPal->isEnabled()) return;
    if (!layout_->FindKey(keyNumber)) return;
    SelectKey(keyNumber);
    if (mode_ == ModeStepEdit) {
        RecordStepFor(keyNumber);
        if (closing_) return;
    }
    if (button == Qt::LeftButton) {
        PutHardKeyState(keyNumber, kStatePressed);
    } else if (button == Qt::RightButton) {
        PutHardKeyState(keyNumber, kStateSelected);
        RebuildKeyTree();
        ShowSelectionStatus();
        if (hardMenuAttached_) m_HardKeyPMenu->popup(globalPos);
        return;
    }
    RebuildKeyTree();
    ShowSelectionStatus();
}

void TSoftLCDFm::HardKeyMouseUp(int keyNumber) {
    if (hardStates_[keyNumber] == kStatePressed) PutHardKeyState(keyNumber, kStateSelected);
}

}  // namespace orvalink
