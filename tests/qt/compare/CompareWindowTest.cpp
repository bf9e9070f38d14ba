// The compare window: the comparison as a tree (device, key, change), a
// row activated (double click, Return) opening the key it belongs to, and
// names for screen readers on every control.
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <vector>

#include "app/CompareFm.h"

namespace orvalink {

class CompareWindowTest : public QObject {
    Q_OBJECT
private slots:
    void RowsOpenTheirKeysAndOnlyThose();
    void NoDifferencesSaySo();
};

namespace {

ImageComparison Sample() {
    ImageComparison c;
    DeviceDifferences tv;
    tv.slot = 1;
    tv.name = "device TV";
    tv.changes.push_back({DiffTopic::DeviceRenamed, "renamed from \"Telly\" to \"TV\""});
    tv.keys.push_back({12, "key 12 \"Vol+\"", {{DiffTopic::KeyMoved, "moved"}, {DiffTopic::IrCode, "IR code changed"}}});
    c.devices.push_back(tv);
    DeviceDifferences macro;
    macro.slot = 65;
    macro.name = "Macro";
    macro.keys.push_back({6, "key 6 \"Film\"", {{DiffTopic::Timer, "timer changed"}}});
    c.devices.push_back(macro);
    c.settings.push_back({DiffTopic::Setting, "Contrast changed from 28 to 30"});
    c.regions.push_back({DiffTopic::Region, "glyphs: 1 byte differs (page 5)"});
    return c;
}

}  // namespace

void CompareWindowTest::RowsOpenTheirKeysAndOnlyThose() {
    std::vector<std::pair<int, int>> opened;
    TCompareFm window(Sample(), QStringLiteral("backup.vmcf"), [&](int slot, int key) { opened.emplace_back(slot, key); });
    QTreeWidget* tree = window.Tree();
    QCOMPARE(window.windowTitle(), QStringLiteral("Compare with backup.vmcf"));
    QCOMPARE(tree->topLevelItemCount(), 4);  // TV, Macro, Settings, Other bytes

    const struct {
        QStringList path;  // texts from the top row down
        int slot, key;     // -1: the row opens nothing
    } rows[] = {
        {{"device TV"}, -1, -1},
        {{"device TV", "renamed from \"Telly\" to \"TV\""}, -1, -1},
        {{"device TV", "key 12 \"Vol+\""}, 1, 12},
        {{"device TV", "key 12 \"Vol+\"", "moved"}, 1, 12},
        {{"device TV", "key 12 \"Vol+\"", "IR code changed"}, 1, 12},
        {{"Macro", "key 6 \"Film\"", "timer changed"}, 65, 6},
        {{"Settings", "Contrast changed from 28 to 30"}, -1, -1},
        {{"Other bytes", "glyphs: 1 byte differs (page 5)"}, -1, -1},
    };
    for (const auto& r : rows) {
        QTreeWidgetItem* item = nullptr;
        for (int i = 0; i < tree->topLevelItemCount() && !item; ++i)
            if (tree->topLevelItem(i)->text(0) == r.path[0]) item = tree->topLevelItem(i);
        for (int depth = 1; depth < r.path.size() && item; ++depth) {
            QTreeWidgetItem* child = nullptr;
            for (int i = 0; i < item->childCount() && !child; ++i)
                if (item->child(i)->text(0) == r.path[depth]) child = item->child(i);
            item = child;
        }
        QVERIFY2(item, qPrintable(r.path.join(" > ")));
        opened.clear();
        emit tree->itemActivated(item, 0);
        if (r.slot < 0) QVERIFY2(opened.empty(), qPrintable(r.path.join(" > ")));
        else QCOMPARE(opened, (std::vector<std::pair<int, int>>{{r.slot, r.key}}));
    }
    for (QWidget* w : window.findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w) || qobject_cast<QTreeWidget*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    QVERIFY(window.findChild<QLabel*>()->text().startsWith(QStringLiteral("6 differences from backup.vmcf")));
}

void CompareWindowTest::NoDifferencesSaySo() {
    TCompareFm window(ImageComparison{}, QStringLiteral("same.vmcf"), nullptr);
    QCOMPARE(window.Tree()->topLevelItemCount(), 0);
    QCOMPARE(window.findChild<QLabel*>()->text(),
             QStringLiteral("No differences: same.vmcf holds the same configuration as this one."));
}

}  // namespace orvalink

QTEST_MAIN(orvalink::CompareWindowTest)
#include "CompareWindowTest.moc"
