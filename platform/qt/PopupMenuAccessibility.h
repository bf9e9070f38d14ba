// Pop-up menus on the accessibility tree. A menu that pops up is a window of
// its own, and Qt leaves such windows out of the application's children: the
// menu bar's menus are reached through the menu bar, a pop-up menu through
// nothing, so a screen reader walking the tree (AT-SPI) never finds it,
// although the menu names the application as its parent. A menu exposed here
// is counted among the application's children while it is open (as other
// toolkits show their pop-up menus), under a name of its own.
#pragma once

class QMenu;
class QString;
class QWidget;

namespace orvalink {

// `menu` becomes a pop-up menu of `owner` (its parent widget, whose window it
// pops up over) named `name` for screen readers, and is on the application's
// accessibility tree while it is open.
void ExposePopupMenu(QWidget* owner, QMenu* menu, const QString& name);

}  // namespace orvalink
