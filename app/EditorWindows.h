// The layout editor windows in the main window's editor area: finding the one
// of a device or mode, opening one in view, and storing, reloading,
// cancelling or closing them.
#pragma once

#include <vector>

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;

namespace orvalink {

class TSoftLCDFm;

class EditorWindows {
public:
    // `frame` is the main window, grown to hold a window larger than `area`.
    EditorWindows(QMainWindow& frame, QMdiArea& area) : frame_(frame), area_(area) {}

    // In the order they were opened.
    std::vector<TSoftLCDFm*> Editors() const;
    QMdiSubWindow* SubWindowOf(const TSoftLCDFm* editor) const;
    TSoftLCDFm* ForSlot(int slot) const;
    // The editor of an editor mode (1000..9000), or null.
    TSoftLCDFm* ByMode(int mode) const;
    TSoftLCDFm* Active() const;
    // Brings the editor of `slot` to the front; false when none is open.
    bool Show(int slot);
    // Places a new editor in the area, loads its device, shows it wholly in
    // view and makes it the active one. The editor and its window delete
    // themselves when closed.
    void Add(TSoftLCDFm* editor);

    // Closes every editor, the newest first. A modified editor stores its
    // keys as it closes, but only into the image it was opened on.
    void CloseAll();
    void StoreAll();
    void ReloadAll();
    // Cancels and closes the first editor (in opening order) of `slot` or of
    // Home, whichever comes first.
    void CancelEditorOf(int slot);
    // Cancels and closes every editor of `slot`: one still showing a device
    // that is being replaced would write it back.
    void CancelEditorsOn(int slot);
    // While a link exchange runs the device editors are disabled.
    void SetLinkBusy(bool busy);

private:
    void KeepInView(QMdiSubWindow* w);
    void CancelAndClose(TSoftLCDFm* editor);

    QMainWindow& frame_;
    QMdiArea& area_;
};

}  // namespace orvalink
