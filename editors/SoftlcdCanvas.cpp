// The layout editor's LCD canvas: the LCD picture with the key pictures on
// it (made, placed, stacked, drawn, shown by page), the status line about
// the selection, and the mouse and the keyboard on the pictures: select,
// drag, resize, the soft-key menu's enabling.
#include "editors/Softlcdut.h"

#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include "editors/SoftlcdShared.h"
#include "image/KeyGeometry.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"

namespace orvalink {

using namespace softlcd;

namespace softlcd {

namespace {
const char* const kKeyTypeNames[] = {"IR code", "Device", "Macro", "Cycle", "Label"};
}  // namespace

QString LabelText(const KeyInfo& key) {
    std::string text;
    int length = 0;
    if (!LabelToText(std::span<const uint8_t>(key.label), text, length)) return {};
    return QString::fromStdString(text);
}

QString TypeName(int type) {
    return type >= 0 && type <= kKeyLabel ? QString::fromLatin1(kKeyTypeNames[type]) : QStringLiteral("type %1").arg(type);
}

QString KeyName(const KeyInfo& key) {
    const QString label = LabelText(key);
    return label.isEmpty() ? QStringLiteral("Key %1").arg(key.keyNumber)
                           : QStringLiteral("Key %1 %2").arg(key.keyNumber).arg(label);
}

}  // namespace softlcd

namespace {

QRect ToQRect(const EditorRect& r) { return QRect(r.left, r.top, r.width, r.height); }
EditorRect ToEditorRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

Qt::CursorShape ToQtCursor(CursorShape shape) {
    switch (shape) {
        case CursorShape::NwSe: return Qt::SizeFDiagCursor;
        case CursorShape::NeSw: return Qt::SizeBDiagCursor;
        case CursorShape::Vertical: return Qt::SizeVerCursor;
        case CursorShape::Horizontal: return Qt::SizeHorCursor;
        case CursorShape::Move: return Qt::SizeAllCursor;
        case CursorShape::None: break;
    }
    return Qt::ArrowCursor;
}

// What a key picture is drawn from: a change in any of these redraws it.
std::string DrawnFrom(const KeyInfo& k, int state, bool transparent) {
    std::string s;
    s.reserve(32 + k.label.size());
    for (int v : {int(k.size), int(k.flags), int(k.keyType), int(k.column), int(k.row), int(k.width), int(k.height),
                  int(k.ownerDevice), int(k.keyNumber), state, int(transparent)})
        s += std::to_string(v) + ',';
    s.append(k.label.begin(), k.label.end());
    return s;
}

// The picture with its white pixels let through, so the grid shows.
QImage SeeThrough(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Building

void TSoftLCDFm::BuildLcdPanel() {
    // The LCD: the panel, the picture inside it, the selection frame and
    // the key pictures on the picture.
    m_SoftKeyPal = new QFrame(m_RightPal);
    m_SoftKeyPal->setObjectName(QStringLiteral("m_SoftKeyPal"));
    m_SoftKeyPal->setAccessibleName(QStringLiteral("LCD"));
    m_SoftKeyPal->setFixedSize(kLcdPanelWidth, kLcdPanelHeight);
    m_SoftKeyPal->setFrameShape(QFrame::Box);
    m_SoftKeyPal->setLineWidth(1);
    m_SoftImg = new QLabel(m_SoftKeyPal);
    m_SoftImg->setObjectName(QStringLiteral("m_SoftImg"));
    m_SoftImg->setAccessibleName(QStringLiteral("Soft keys"));
    m_SoftImg->setGeometry(1, 1, kLcdPictureWidth, kLcdPictureHeight);
    m_SoftImg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_SoftImg->setFocusPolicy(Qt::StrongFocus);
    m_SoftImg->installEventFilter(this);
    selectionFrame_ = new QFrame(m_SoftImg);
    selectionFrame_->setObjectName(QStringLiteral("selectionFrame"));
    selectionFrame_->setFrameShape(QFrame::NoFrame);
    selectionFrame_->setAutoFillBackground(true);
    QPalette white = selectionFrame_->palette();
    white.setColor(QPalette::Window, Qt::white);
    selectionFrame_->setPalette(white);
    selectionFrame_->hide();
}

// ---------------------------------------------------------------------------
// Showing the layout

QWidget* TSoftLCDFm::SoftImage() const { return m_SoftImg; }

QLabel* TSoftLCDFm::KeyPicture(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it == pictures_.end() ? nullptr : it->second.label;
}

int TSoftLCDFm::KeyState(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it == pictures_.end() ? 0 : it->second.state;
}

bool TSoftLCDFm::KeyTransparent(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it != pictures_.end() && it->second.transparent;
}

QString TSoftLCDFm::StatusText() const { return m_StatusBar->currentMessage(); }

void TSoftLCDFm::Say(const QString& text) { m_StatusBar->showMessage(text); }

int TSoftLCDFm::StateOf(int keyNumber) const {
    if (keyNumber == pressedKey_) return kStatePressed;
    return keyNumber == layout_->Selected() ? kStateSelected : kStateNormal;
}

void TSoftLCDFm::DrawPicture(int keyNumber, Picture& picture, const LayoutKey& key, int state, bool force) {
    const bool transparent = transparent_ && keyNumber >= kFirstSoftKey && keyNumber <= kLastSoftKey;
    std::string drawn = DrawnFrom(key.info, state, transparent);
    if (!force && drawn == picture.drawn) return;
    const EditorRect r = KeyRect(key.info);
    picture.image = QImage(r.width, r.height, QImage::Format_RGB32);
    picture.image.fill(Qt::white);
    DrawKey(services_.flash, key.info, state, picture.image);
    picture.label->setPixmap(QPixmap::fromImage(transparent ? SeeThrough(picture.image) : picture.image));
    picture.drawn = std::move(drawn);
    picture.state = state;
    picture.transparent = transparent;
}

void TSoftLCDFm::DrawLcd() {
    const int page = layout_->Page();
    lcd_ = QImage(kLcdPictureWidth, kLcdPictureHeight, QImage::Format_RGB32);
    lcd_.fill(Qt::white);
    {
        QPainter p(&lcd_);
        for (const LcdLine& line : EmptyLcdLines(gridShown_)) {
            p.setPen(ToQColor(line.colour));
            p.drawLine(line.x1, line.y1, line.x2, line.y2);
        }
        if (!pageStrip_.isNull()) p.drawImage(kPageStripAt.x, kPageStripAt.y, pageStrip_);
        if (page >= 0 && page < kLcdPages) {
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(kPageLabelCharHeight);
            p.setFont(font);
            p.setPen(Qt::blue);
            p.drawText(QRect(kPageLabelAt.x, kPageLabelAt.y, 60, kPageLabelCharHeight + 8),
                       Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(layout_->PageLabel()));
        }
    }
    DrawTitle(services_.flash, record_.label, kStateNormal, lcd_);
    m_SoftImg->setPixmap(QPixmap::fromImage(lcd_));
    shownPage_ = page;
}

void TSoftLCDFm::SyncFromLayout() {
    const int page = layout_->Page();
    // Pictures: one per key, stacked in drawing order, shown on their page.
    std::map<int, Picture> kept;
    for (size_t i = 0; i < layout_->KeyCount(); ++i) {
        const LayoutKey& key = layout_->KeyAt(i);
        const int number = key.Number();
        Picture picture;
        auto it = pictures_.find(number);
        if (it != pictures_.end()) {
            picture = std::move(it->second);
            pictures_.erase(it);
        } else {
            picture.label = new QLabel(m_SoftImg);
            picture.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            picture.label->setMouseTracking(true);
            picture.label->setFocusPolicy(Qt::NoFocus);
            picture.label->setProperty("keyNumber", number);
            picture.label->installEventFilter(this);
        }
        DrawPicture(number, picture, key, StateOf(number));
        if (number != dragKey_) picture.label->setGeometry(ToQRect(KeyPictureRect(key.info)));
        picture.label->setAccessibleName(KeyName(key.info));
        picture.label->setToolTip(QStringLiteral("Key %1, %2, %3")
                                      .arg(number)
                                      .arg(TypeName(key.info.keyType))
                                      .arg(LabelText(key.info)));
        picture.label->setVisible(key.info.page == page);
        picture.label->raise();
        kept.emplace(number, std::move(picture));
    }
    for (auto& [number, gone] : pictures_) {
        gone.label->hide();
        gone.label->deleteLater();  // it may be the one whose event is being handled
    }
    pictures_ = std::move(kept);
    // A key put down by the mouse lies on top, as it was while it moved.
    if (auto it = pictures_.find(topKey_); it != pictures_.end()) it->second.label->raise();
    if (dragKey_ >= 0) {
        if (auto it = pictures_.find(dragKey_); it != pictures_.end()) {
            selectionFrame_->raise();
            it->second.label->raise();
        }
    }
    // Hard keys: the selected one red, the rest silver.
    for (int k = 0; k < kHardKeyCount; ++k)
        if (hardStates_[k] != kStatePressed) PutHardKeyState(k, k == layout_->Selected() ? kStateSelected : kStateNormal);
    DrawLcd();
    RebuildKeyTree();
    ShowSelectionStatus();
}

void TSoftLCDFm::ShowSelectionStatus() {
    const LayoutKey* key = layout_->SelectedKey();
    if (!key) {
        Say(QStringLiteral("Page %1 of %2").arg(layout_->Page() + 1).arg(kLcdPages));
        return;
    }
    const KeyInfo& k = key->info;
    if (k.keyNumber < kHardKeyCount) {
        Say(QStringLiteral("%1: hard key").arg(KeyName(k)));
        return;
    }
    Say(QStringLiteral("%1: column %2, row %3, %4 x %5 cells, page %6")
            .arg(KeyName(k))
            .arg(k.column)
            .arg(k.row)
            .arg(k.width)
            .arg(k.height)
            .arg(k.page + 1));
}

void TSoftLCDFm::ShowPage(int page) {
    if (!layout_->ShowPage(page)) return;
    SyncFromLayout();
}

bool TSoftLCDFm::SelectKeyOnPage(int keyNumber, int state) {
    if (!layout_->Select(keyNumber)) return false;
    const LayoutKey* key = layout_->SelectedKey();
    if (key->info.page < kLcdPages) layout_->ShowPage(key->info.page);
    SyncFromLayout();
    if (auto it = pictures_.find(keyNumber); it != pictures_.end() && state != it->second.state)
        DrawPicture(keyNumber, it->second, *key, state);
    if (keyNumber < kHardKeyCount) PutHardKeyState(keyNumber, state);
    return true;
}

// ---------------------------------------------------------------------------
// The mouse and the keyboard

bool TSoftLCDFm::PressSelects() const {
    return mode_ == ModeNormal || mode_ == ModeStepEdit || mode_ == ModeMacroDevice || mode_ == ModeHomeDevice;
}

bool TSoftLCDFm::EditingMode() const {
    return mode_ == ModeNormal || mode_ == ModeMacroDevice || mode_ == ModeHomeDevice;
}

bool TSoftLCDFm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_keyTView->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(event);
            m_keyTViewMouseDown(m_keyTView->itemAt(me->position().toPoint()), me->button());
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_SoftImg) {
        if (type == QEvent::MouseButtonPress) {
            LcdMouseDown(static_cast<QMouseEvent*>(event));
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    for (int k = 0; k < kHardKeyCount; ++k) {
        if (watched != m_SBtn[k]) continue;
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            HardKeyMouseDown(k, me->button(), me->globalPosition().toPoint());
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            HardKeyMouseUp(k);
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && label->parent() == m_SoftImg && label->property("keyNumber").isValid()) {
        const int number = label->property("keyNumber").toInt();
        // Only mouse events are mouse events: the cast waits for the type.
        auto mouse = [event] { return static_cast<QMouseEvent*>(event); };
        switch (type) {
            case QEvent::MouseButtonPress: KeyMouseDown(number, mouse()); return true;
            case QEvent::MouseMove: KeyMouseMove(number, mouse()); return true;
            case QEvent::MouseButtonRelease: KeyMouseUp(number, mouse()); return true;
            case QEvent::MouseButtonDblClick:
                if (mouse()->button() == Qt::LeftButton && EditingMode()) {
                    SelectKey(number);
                    m_PropertiesItClick();
                }
                return true;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSoftLCDFm::SelectKey(int keyNumber) {
    const int before = layout_->Selected();
    if (before == keyNumber) return;
    layout_->Select(keyNumber);
    // The previous selection goes back to normal at once.
    if (auto it = pictures_.find(before); it != pictures_.end()) {
        if (const LayoutKey* k = layout_->FindKey(before)) DrawPicture(before, it->second, *k, kStateNormal);
    }
    if (before >= 0 && before < kHardKeyCount) PutHardKeyState(before, kStateNormal);
}

void TSoftLCDFm::KeyMouseDown(int keyNumber, QMouseEvent* event) {
    m_SoftImg->setFocus(Qt::MouseFocusReason);
    auto it = pictures_.find(keyNumber);
    const LayoutKey* key = layout_->FindKey(keyNumber);
    if (it == pictures_.end() || !key) return;
    QLabel* picture = it->second.label;
    if (event->button() == Qt::LeftButton) {
        if (!PressSelects()) return;
        SelectKey(keyNumber);
        if (mode_ == ModeStepEdit) {
            RecordStepFor(keyNumber);
            if (closing_) return;
        }
        if (MovingAllowed()) {
            const EditorRect rect = ToEditorRect(picture->geometry());
            const KeyInfo& k = key->info;
            layout_->BeginUndoGroup();
            drag_.Begin(rect, {int(event->position().x()), int(event->position().y())},
                        {event->globalPosition().toPoint().x(), event->globalPosition().toPoint().y()},
                        KeyCells{k.column, k.row, k.width, k.height});
            dragKey_ = keyNumber;
            selectionFrame_->setGeometry(ToQRect(drag_.Frame()));
            selectionFrame_->show();
            selectionFrame_->raise();
            picture->raise();
        }
        pressedKey_ = keyNumber;
        DrawPicture(keyNumber, it->second, *key, kStatePressed);
        RebuildKeyTree();
        ShowSelectionStatus();
        return;
    }
    if (event->button() == Qt::RightButton) {
        SelectKey(keyNumber);
        // A right press snaps the key where it lies; no drag follows.
        const DragEnd end = KeyDrag::SnapPicture(ToEditorRect(picture->geometry()));
        layout_->SetCells(keyNumber, end.cells);
        SyncFromLayout();
        if (softMenuAttached_) PopUpSoftKeyMenu(keyNumber, event->globalPosition().toPoint());
    }
}

void TSoftLCDFm::KeyMouseMove(int keyNumber, QMouseEvent* event) {
    auto it = pictures_.find(keyNumber);
    if (it == pictures_.end()) return;
    QLabel* picture = it->second.label;
    const QPoint at = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || !drag_.Active() || keyNumber != dragKey_) {
        if (MovingAllowed() && !drag_.Active())
            picture->setCursor(ToQtCursor(CursorOfZone(ZoneOf(at.x(), at.y(), picture->width(), picture->height()))));
        return;
    }
    const DragStep step = drag_.Move({at.x(), at.y()});
    if (!step.applied) return;
    selectionFrame_->setGeometry(ToQRect(step.frame));
    picture->setGeometry(ToQRect(step.picture));
    if (step.cellsChanged && layout_->SetCells(keyNumber, step.cells).ok()) ShowSelectionStatus();
    if (step.resized) {
        // The picture takes the frame's size; the key is drawn at the cells
        // it snaps to, on white.
        if (const LayoutKey* key = layout_->FindKey(keyNumber)) DrawPicture(keyNumber, it->second, *key, kStateSelected);
    }
    if (step.cursorTo) {
        const QPoint to(step.cursorTo->x, step.cursorTo->y);
        if (QCursor::pos() != to) QCursor::setPos(to);
    }
}

void TSoftLCDFm::KeyMouseUp(int keyNumber, QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (drag_.Active() && keyNumber == dragKey_) {
        const DragEnd end = drag_.End();
        selectionFrame_->hide();
        layout_->SetCells(keyNumber, end.cells);
        layout_->EndUndoGroup();
        dragKey_ = kNoKey;
        topKey_ = keyNumber;
        if (auto it = pictures_.find(keyNumber); it != pictures_.end()) {
            it->second.label->setGeometry(ToQRect(end.picture));
            it->second.label->unsetCursor();
        }
    }
    if (pressedKey_ == keyNumber) pressedKey_ = kNoKey;
    SyncFromLayout();
}

bool TSoftLCDFm::CancelDrag() {
    if (!drag_.Active()) return false;
    drag_.End();
    selectionFrame_->hide();
    layout_->EndUndoGroup();
    dragKey_ = kNoKey;
    pressedKey_ = kNoKey;
    return true;
}

void TSoftLCDFm::LcdMouseDown(QMouseEvent* event) {
    m_SoftImg->setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (layout_->ClickLcd(at.x(), at.y())) SyncFromLayout();
        return;
    }
    if (event->button() == Qt::RightButton && softMenuAttached_) PopUpSoftKeyMenu(kNoKey, event->globalPosition().toPoint());
}

void TSoftLCDFm::PopUpSoftKeyMenu(int keyNumber, const QPoint& globalPos) {
    ApplyMenuEnabling(layout_->MenuFor(keyNumber));
    m_SoftKeyPMenu->popup(globalPos);
}

void TSoftLCDFm::ApplyMenuEnabling(const MenuEnabling& m) {
    menuCode_ = m.code;
    MenuItem(QStringLiteral("m_AddButtonIt"))->setEnabled(m.addButton);
    MenuItem(QStringLiteral("m_PropertiesIt"))->setEnabled(m.properties);
    for (const char* name : {"m_CutIt", "m_CopyIt", "m_DeleteIt", "m_MoveToIt", "m_SequenceIt"})
        MenuItem(QString::fromLatin1(name))->setEnabled(m.cutCopyDelete);
    MenuItem(QStringLiteral("m_PasteIt"))->setEnabled(m.paste);
    MenuItem(QStringLiteral("m_LoadPreCodeIt"))->setEnabled(m.loadPreProgramCode);
    MenuItem(QStringLiteral("m_AddDeviceIt"))->setEnabled(m.addDevice);
}

void TSoftLCDFm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left: MoveSelectedBy(-1, 0); return;
        case Qt::Key_Right: MoveSelectedBy(1, 0); return;
        case Qt::Key_Up: MoveSelectedBy(0, -1); return;
        case Qt::Key_Down: MoveSelectedBy(0, 1); return;
        case Qt::Key_PageUp:
            ShowPage(StepPage(layout_->Page(), PageStripHit::Previous));
            return;
        case Qt::Key_PageDown:
            ShowPage(StepPage(layout_->Page(), PageStripHit::Next));
            return;
        default: break;
    }
    QWidget::keyPressEvent(event);
}

bool TSoftLCDFm::MoveSelectedBy(int columns, int rows) {
    if (!MovingAllowed() || drag_.Active()) return false;
    const LayoutKey* key = layout_->SelectedKey();
    if (!key || key->Number() < kFirstSoftKey) return false;
    const KeyInfo& k = key->info;
    const KeyCells cells = ClampKeyCells(k.column + columns, k.row + rows, k.width, k.height);
    const LayoutOutcome out = layout_->SetCells(k.keyNumber, cells);
    SyncFromLayout();
    return out.ok();
}

}  // namespace orvalink
