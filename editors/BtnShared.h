// What the window and the pages of Button Properties share: the services it
// is given, the key it has open, and the naming of its controls (an object
// name after the control, an accessible name for a screen reader).
#pragma once

#include <QPushButton>
#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "editors/Softlcdut.h"
#include "editors/core/DeviceLayout.h"
#include "editors/core/IrLink.h"
#include "editors/core/KeyPropertyEditor.h"

namespace orvalink {

class Random;
class TTiFlashFm;
class UiServices;

struct BtnServices {
    TTiFlashFm& flash;
    UiServices& ui;
    Random& random;              // the waveform's pair colours
    IrLink* link = nullptr;      // null: learning and shooting say so in the status bar
    // Opens a layout editor on `device` in ModeStepEdit or ModeStepView.
    std::function<TSoftLCDFm*(int device, EditorMode mode)> openStepWindow;
    // The main window: refreshed after OK and Cancel, disabled while this
    // window is shown (calls pair up).
    std::function<void()> refreshMain;
    std::function<void(bool enabled)> setMainEnabled;
    std::function<std::string(int device)> deviceName;
};

// The key Button Properties has open: a copy the pages edit, the layout
// editor's context, and whether learning, loading, a macro save or a type
// change's erasing already changed it (Cancel undoes none of these).
struct BtnOpenKey {
    LayoutKey key;
    KeyEditContext context;
    bool touched = false;
};

namespace btnui {

template <typename T>
T* Named(T* widget, const QString& objectName, const QString& accessible) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible);
    return widget;
}

// A push button named after its caption (blanks around it left out).
inline QPushButton* Button(QWidget* parent, const QString& objectName, const QString& text) {
    return Named(new QPushButton(text, parent), objectName, text.trimmed());
}

// The number a box or a grid cell shows; nothing when it shows none.
inline std::optional<int> NumberIn(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

}  // namespace btnui

}  // namespace orvalink
