// The "Compare with…" window: the differences between the configuration in
// the window and a document, as a tree (device ▸ key ▸ what changed). A
// double click on a key, or on a change of a key, asks the main window to
// open that device's layout editor on that key.
#pragma once

#include <QDialog>

#include <functional>

#include "image/ImageCompare.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvalink {

class TCompareFm : public QDialog {
    Q_OBJECT
public:
    using OpenKey = std::function<void(int slot, int key)>;
    // `fileName` names the other document in the title and the summary.
    TCompareFm(const ImageComparison& comparison, const QString& fileName, OpenKey openKey,
               QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_DiffTView; }

    // The slot and key of a row: a key row or a change below one; false for
    // any other row.
    static bool KeyOfItem(const QTreeWidgetItem* item, int& slot, int& key);

private:
    void m_DiffTViewDblClick(QTreeWidgetItem* item);

    OpenKey openKey_;
    QLabel* m_SummaryLbe = nullptr;
    QTreeWidget* m_DiffTView = nullptr;
    QPushButton* m_CloseBtn = nullptr;
};

}  // namespace orvalink
