// The pre-program code picker as the user drives it: the three lists from the
// built dev_model.dll, OK and Cancel, the missing library, and Auto Test
// through the communication window's link against orvalink-remote-sim on a
// pseudo-terminal, whose IR log tells what reached the remote.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <optional>

#include "editors/Precodeut.h"
#include "editors/core/PreCodeAutoTest.h"
#include "image/CodeLibrary.h"
#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"
#include "support/RemoteSimProcess.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

// A code set with one key (key 5) whose lead mark tells the sets apart.
bool WriteTestSet(TTiFlashFm& flash, int number, uint16_t leadMark, uint32_t& unit) {
    IrCodeInfo code;
    code.size = 3;
    code.codeType = kCodeNormal;
    code.timingCount = 3;
    code.carrier = 210;
    code.firstCount = 4;
    code.repeatCount = 0xFF;
    const uint16_t table[] = {leadMark, 4500, 560, 560, 560, 1690};
    for (int i = 0; i < 6; ++i) {
        code.data[size_t(2 * i)] = uint8_t(table[i]);
        code.data[size_t(2 * i + 1)] = uint8_t(table[i] >> 8);
    }
    code.data[12] = 0b10'01'10'00;
    std::vector<std::optional<IrCodeInfo>> keys(64);
    keys[5] = code;
    LibraryCodeSet set;
    uint32_t used = 0;
    if (!BuildLibraryCodeSet(keys, set) || !WriteLibraryCode(flash, number, set, unit, &used)) return false;
    unit += used;
    return true;
}

QString Hex(const LearnedCode& code) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(code.data()), int(code.size())).toHex());
}

QStringList Items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList Items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

void Choose(TPreCodeFm& dlg, const QString& type, const QString& brand) {
    dlg.m_DevCBox->setCurrentIndex(dlg.m_DevCBox->findText(type));
    dlg.m_DevCBoxChange();
    dlg.m_BrandCBox->setCurrentIndex(dlg.m_BrandCBox->findText(brand));
    dlg.m_BrandCBoxChange();
}

void ClickCode(TPreCodeFm& dlg, int row) {
    QListWidget* list = dlg.m_PreLBox;
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

}  // namespace

class PreCodeDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    fs::path folder_;
    ScriptedUiServices ui_;
    TTiFlashFm flash_;
    QProcess sim_;

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = fs::path(dir_.path().toStdString()) / "program";
        fs::create_directories(folder_);
        // The communication window reads type.ini from the program folder.
        for (const char* f : {"dev_model.dll", "type.ini"})
            fs::copy_file(fs::path(ORVALINK_PROGRAM_DIR) / f, folder_ / f, fs::copy_options::overwrite_existing);
        ui_.Clear();
    }
    void cleanup() { testing::StopRemoteSim(sim_); }

    void listsFollowTheChoices() {
        TPreCodeFm dlg(folder_, ui_, flash_, nullptr);
        QVERIFY(dlg.Load());
        QCOMPARE(dlg.LoadedState(), 20);
        QVERIFY(!dlg.Load());  // loaded once only
        const QStringList types = Items(dlg.m_DevCBox);
        QCOMPARE(types.first(), QStringLiteral("TV"));
        QCOMPARE(types.count(QStringLiteral("TV")), 1);
        QVERIFY(types.contains(QStringLiteral("VCR")));
        QCOMPARE(dlg.m_DevCBox->currentIndex(), -1);
        QVERIFY(!dlg.m_OkBtn->isEnabled());
        QVERIFY(!dlg.m_AutoBtn->isEnabled());

        dlg.m_DevCBox->setCurrentIndex(dlg.m_DevCBox->findText(QStringLiteral("TV")));
        dlg.m_DevCBoxChange();
        const QStringList brands = Items(dlg.m_BrandCBox);
        QVERIFY(brands.contains(QStringLiteral("Samsung")));
        QStringList sorted = brands;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(brands, sorted);
        QCOMPARE(dlg.m_PreLBox->count(), 0);

        Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
        QCOMPARE(Items(dlg.m_PreLBox), (QStringList{"1152", "1153"}));
        QVERIFY(dlg.m_AutoBtn->isEnabled());
        QVERIFY(dlg.m_cancelPBtn->isEnabled());
        QVERIFY(!dlg.m_OkBtn->isEnabled());

        // Another type empties the brand's codes again.
        dlg.m_DevCBox->setCurrentIndex(dlg.m_DevCBox->findText(QStringLiteral("VCR")));
        dlg.m_DevCBoxChange();
        QCOMPARE(dlg.m_PreLBox->count(), 0);
        QVERIFY(!Items(dlg.m_BrandCBox).isEmpty());
        QVERIFY(!dlg.m_AutoBtn->isEnabled());
    }

    void okTakesTheClickedCodeAndRefuses4000() {
        TPreCodeFm dlg(folder_, ui_, flash_, nullptr);
        QVERIFY(dlg.Load());
        dlg.show();
        Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
        ClickCode(dlg, 1);
        QCOMPARE(dlg.m_preCodeNoEdt->text(), QStringLiteral("      1153"));
        QVERIFY(dlg.m_preCodeNoEdt->isReadOnly());
        QVERIFY(dlg.m_OkBtn->isEnabled());
        QTest::mouseClick(dlg.m_OkBtn, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.ChosenCode(), 1153);

        dlg.show();
        dlg.m_preCodeNoEdt->setText(QStringLiteral("      4000"));
        QTest::mouseClick(dlg.m_OkBtn, Qt::LeftButton);
        QCOMPARE(dlg.ChosenCode(), kNoPreCode);
    }

    void pickerServesItsCallers() {
        TPreCodeFm dlg(folder_, ui_, flash_, nullptr);
        CodeNumberPicker& picker = dlg;
        QTimer::singleShot(0, &dlg, [&] {
            Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
            ClickCode(dlg, 0);
            dlg.m_OkBtn->click();
        });
        uint16_t code = 77;
        QVERIFY(picker.PickCodeNumber(code));
        QCOMPARE(code, uint16_t(1152));
        QCOMPARE(dlg.LoadedState(), 0);  // the records are freed on closing

        // Cancel leaves the number alone; the dialog loads afresh each time.
        QTimer::singleShot(0, &dlg, [&] {
            Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
            ClickCode(dlg, 1);
            dlg.m_CancelBtn->click();
        });
        QVERIFY(!picker.PickCodeNumber(code));
        QCOMPARE(code, uint16_t(1152));
        QCOMPARE(dlg.ChosenCode(), kNoPreCode);
    }

    void missingLibraryWarnsAndChoosesNothing() {
        fs::remove(folder_ / "dev_model.dll");
        TPreCodeFm dlg(folder_, ui_, flash_, nullptr);
        uint16_t code = 5;
        QVERIFY(!static_cast<CodeNumberPicker&>(dlg).PickCodeNumber(code));
        QCOMPARE(code, uint16_t(5));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(ui_.Messages().size(), size_t(1));
        QCOMPARE(ui_.Messages()[0].text, std::string("File Not Found ! ---> dev_model.dll \n Please Check the file ! "));
        QCOMPARE(ui_.Messages()[0].icon, MsgIcon::Warning);
        QCOMPARE(dlg.LoadedState(), 0);
    }

    void autoTestWithoutTheCable() {
        MemoryRegistry registry;  // no adapter registered
        FixedClock clock;
        TComTestFm comTest(folder_, ui_, clock, flash_, registry);
        TPreCodeFm dlg(folder_, ui_, flash_, &comTest.Link());
        QVERIFY(dlg.Load());
        Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
        dlg.m_AutoBtn->click();
        QCOMPARE(ui_.MessageTexts().back(), std::string("USB cable line not found !"));
        QCOMPARE(ui_.Messages().back().icon, MsgIcon::Error);
        QVERIFY(dlg.m_DevCBox->isEnabled());
        QVERIFY(dlg.m_AutoBtn->isEnabled());
        QVERIFY(!dlg.AutoTestRunning());
        QVERIFY(dlg.m_preCodeNoEdt->text().isEmpty());
    }

    // Auto Test over the real serial port: each code of the brand reaches the
    // remote in order, pressed and released; Cancel stops after the code just
    // sent and OK takes it.
    void autoTestThroughTheRemote_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("whole list") << false;
        QTest::newRow("cancelled at the first code") << true;
    }
    void autoTestThroughTheRemote() {
        QFETCH(bool, cancel);
        uint32_t unit = 0;
        QVERIFY(WriteTestSet(flash_, 1152, 9000, unit));
        QVERIFY(WriteTestSet(flash_, 1153, 8000, unit));
        LearnedCode first{}, second{};
        QVERIFY(PreCodeSendRecord(flash_, 1152, first));
        QVERIFY(PreCodeSendRecord(flash_, 1153, second));

        const QString log = dir_.filePath(QStringLiteral("ir.log"));
        QFile::remove(log);
        QString pty;
        QVERIFY(testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, dir_.filePath(QStringLiteral("remote.flash")),
                                        {QStringLiteral("--ir-log"), log}, pty));
        {
            SysfsRegistry registry;
            QVERIFY(registry.AddPortEntry(pty.toStdString() + "=COM3"));
            FixedClock clock;
            TComTestFm comTest(folder_, ui_, clock, flash_, registry);
            TPreCodeFm dlg(folder_, ui_, flash_, &comTest.Link());
            QVERIFY(dlg.Load());
            dlg.show();
            Choose(dlg, QStringLiteral("TV"), QStringLiteral("Samsung"));
            QStringList seenInBox;
            QTimer watch;
            connect(&watch, &QTimer::timeout, &dlg, [&] {
                if (!dlg.AutoTestRunning()) return;
                const QString shown = dlg.m_preCodeNoEdt->text();
                if (seenInBox.isEmpty() || seenInBox.last() != shown) seenInBox << shown;
                QVERIFY(!dlg.m_DevCBox->isEnabled() && !dlg.m_PreLBox->isEnabled() && !dlg.m_AutoBtn->isEnabled());
                if (cancel && shown.endsWith(QStringLiteral("1152"))) dlg.m_cancelPBtn->click();
            });
            watch.start(10);
            dlg.m_AutoBtn->click();
            watch.stop();
            QVERIFY(!dlg.AutoTestRunning());
            QVERIFY(dlg.m_DevCBox->isEnabled() && dlg.m_AutoBtn->isEnabled());
            QVERIFY(dlg.m_OkBtn->isEnabled());
            const QString last = cancel ? QStringLiteral("      1152") : QStringLiteral("      1153");
            QCOMPARE(dlg.m_preCodeNoEdt->text(), last);
            QCOMPARE(seenInBox.first(), QStringLiteral("      1152"));
            dlg.m_OkBtn->click();
            QCOMPARE(dlg.ChosenCode(), cancel ? 1152 : 1153);
            QVERIFY(ui_.MessageTexts().empty());

            QStringList expected{"received " + Hex(first), "fired", "released"};
            if (!cancel) expected << "received " + Hex(second) << "fired" << "released";
            auto lines = [&] {
                QFile f(log);
                if (!f.open(QIODevice::ReadOnly)) return QStringList();
                return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
            };
            QTRY_COMPARE_WITH_TIMEOUT(lines(), expected, 5000);
        }
    }
};

QTEST_MAIN(PreCodeDialogTest)
#include "PreCodeDialogTest.moc"
