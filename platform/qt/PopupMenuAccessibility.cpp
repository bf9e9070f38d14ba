#include "platform/qt/PopupMenuAccessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>
#include <QVariant>
#include <QWidget>

namespace orvalink {

namespace {

constexpr char kExposedProperty[] = "orvalinkExposedPopup";

// The exposed pop-up menus that are open now.
QList<QMenu*> OpenMenus() {
    QList<QMenu*> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->property(kExposedProperty).toBool() && menu->isVisible())
            open << menu;
    return open;
}

// The application as the toolkit shows it (its windows), then its open
// exposed pop-up menus.
class PopupApplicationAccessible final : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(OpenMenus().size()); }

    QAccessibleInterface* child(int index) const override {
        const int own = QAccessibleApplication::childCount();
        if (index < own) return QAccessibleApplication::child(index);
        const QList<QMenu*> menus = OpenMenus();
        index -= own;
        return index < menus.size() ? QAccessible::queryAccessibleInterface(menus[index]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child) {
            if (auto* menu = qobject_cast<QMenu*>(child->object())) {
                const int at = int(OpenMenus().indexOf(menu));
                if (at >= 0) return QAccessibleApplication::childCount() + at;
            }
        }
        return QAccessibleApplication::indexOfChild(child);
    }
};

QAccessibleInterface* ApplicationFactory(const QString&, QObject* object) {
    if (!object || object != qApp || !qobject_cast<QApplication*>(object)) return nullptr;
    return new PopupApplicationAccessible;
}

}  // namespace

void ExposePopupMenu(QWidget* owner, QMenu* menu, const QString& name) {
    // Once for the program; the toolkit keeps the factory.
    QAccessible::installFactory(ApplicationFactory);
    if (menu->parentWidget() != owner) menu->setParent(owner, menu->windowFlags());
    menu->setProperty(kExposedProperty, true);
    menu->setTitle(name);
    menu->setAccessibleName(name);
    // The application's interface may have been made before the factory was
    // there (a screen reader asks for it as soon as it connects): it goes,
    // and the next look-up makes ours. Clients reach the application by a
    // fixed root path, never by the interface's own number.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(qApp);
    if (made && !dynamic_cast<PopupApplicationAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

}  // namespace orvalink
