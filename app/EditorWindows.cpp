#include "app/EditorWindows.h"

#include <algorithm>

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include "editors/Softlcdut.h"

namespace orvalink {

std::vector<TSoftLCDFm*> EditorWindows::Editors() const {
    std::vector<TSoftLCDFm*> out;
    for (QMdiSubWindow* w : area_.subWindowList(QMdiArea::CreationOrder))
        if (auto* e = qobject_cast<TSoftLCDFm*>(w->widget())) out.push_back(e);
    return out;
}

QMdiSubWindow* EditorWindows::SubWindowOf(const TSoftLCDFm* editor) const {
    for (QMdiSubWindow* w : area_.subWindowList())
        if (w->widget() == editor) return w;
    return nullptr;
}

TSoftLCDFm* EditorWindows::ForSlot(int slot) const {
    for (TSoftLCDFm* e : Editors())
        if (e->Slot() == slot) return e;
    return nullptr;
}

TSoftLCDFm* EditorWindows::ByMode(int mode) const {
    if (mode < 1000 || mode > 9000) return nullptr;
    for (TSoftLCDFm* e : Editors())
        if (e->Mode() == mode) return e;
    return nullptr;
}

TSoftLCDFm* EditorWindows::Active() const {
    QMdiSubWindow* w = area_.activeSubWindow();
    return w ? qobject_cast<TSoftLCDFm*>(w->widget()) : nullptr;
}

bool EditorWindows::Show(int slot) {
    TSoftLCDFm* e = ForSlot(slot);
    if (!e) return false;
    QMdiSubWindow* w = SubWindowOf(e);
    if (w->isMinimized()) w->showNormal();
    area_.setActiveSubWindow(w);
    w->raise();
    return true;
}

void EditorWindows::Add(TSoftLCDFm* editor) {
    editor->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* w = area_.addSubWindow(editor);
    w->setAttribute(Qt::WA_DeleteOnClose);
    editor->LoadDevice();
    w->show();
    KeepInView(w);
    area_.setActiveSubWindow(w);
}

void EditorWindows::KeepInView(QMdiSubWindow* w) {
    // A step window is wider than the area of a main window of its first
    // size: the main window grows to hold it, as far as the screen allows.
    QSize area = area_.viewport()->size();
    const QSize need = w->size();
    const int dx = std::max(0, need.width() - area.width());
    const int dy = std::max(0, need.height() - area.height());
    QMainWindow& f = frame_;
    if ((dx > 0 || dy > 0) && !(f.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && f.screen()) {
        const QRect avail = f.screen()->availableGeometry();
        const QRect outer = f.frameGeometry();
        const int extraW = outer.width() - f.width(), extraH = outer.height() - f.height();
        // Never smaller than it is.
        const QSize grown(std::max(f.width(), std::min(f.width() + dx, avail.width() - extraW)),
                          std::max(f.height(), std::min(f.height() + dy, avail.height() - extraH)));
        QPoint at = outer.topLeft();
        at.setX(std::max(avail.left(), std::min(at.x(), avail.right() + 1 - grown.width() - extraW)));
        at.setY(std::max(avail.top(), std::min(at.y(), avail.bottom() + 1 - grown.height() - extraH)));
        area += grown - f.size();
        f.move(at);
        f.resize(grown);
    }
    // The area places a new window in cascade; one that would be cut off at
    // the right or the bottom moves back in as far as the area allows.
    QRect frame = w->geometry();
    frame.moveLeft(std::max(0, std::min(frame.left(), area.width() - frame.width())));
    frame.moveTop(std::max(0, std::min(frame.top(), area.height() - frame.height())));
    if (frame.topLeft() != w->pos()) w->move(frame.topLeft());
}

void EditorWindows::CloseAll() {
    auto editors = Editors();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it) {
        TSoftLCDFm* e = *it;
        QMdiSubWindow* w = SubWindowOf(e);
        // A modified editor saves itself as it closes, but only into the
        // contents it was opened on: once a download or another document has
        // replaced them, its keys belong to no image any more.
        if (e->ModifiedMark() == kMarkChanged && e->OnCurrentImage()) e->m_SaveBtnClick();
        if (w) {
            w->close();
            delete w;  // closed windows go at once, so the editor list is current
        }
    }
}

void EditorWindows::StoreAll() {
    auto editors = Editors();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it) (*it)->StoreIntoImage();
}

void EditorWindows::ReloadAll() {
    auto editors = Editors();
    for (auto it = editors.rbegin(); it != editors.rend(); ++it) (*it)->ReloadFromImage();
}

void EditorWindows::CancelAndClose(TSoftLCDFm* editor) {
    QMdiSubWindow* w = SubWindowOf(editor);
    editor->m_CancelBtnClick();
    if (w) {
        w->close();
        delete w;
    }
}

void EditorWindows::CancelEditorOf(int slot) {
    for (TSoftLCDFm* e : Editors())
        if (e->Slot() == slot || e->Slot() == kHomeSlot) {
            CancelAndClose(e);
            return;
        }
}

void EditorWindows::CancelEditorsOn(int slot) {
    for (TSoftLCDFm* e : Editors())
        if (e->Slot() == slot) CancelAndClose(e);
}

void EditorWindows::SetLinkBusy(bool busy) {
    for (TSoftLCDFm* e : Editors())
        if (e->Mode() == ModeNormal || e->Mode() == ModeMacroDevice || e->Mode() == ModeHomeDevice)
            e->setEnabled(!busy);
}

}  // namespace orvalink
