// "Verify after upload" in the main window's Communications menu: on by
// default, remembered in the program folder's side file; and what the user is
// told after an upload read back from a remote that keeps other bytes than it
// acknowledged (the offer to upload again) or a sound one. Over the real
// serial port against orvalink-remote-sim on a pseudo-terminal.
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/RemoteSimProcess.h"
#include "WindowsRig.h"

#include <filesystem>
#include <fstream>
#include <set>

#include "app/MainFm.h"
#include "formats/Flashut.h"
#include "formats/SideFiles.h"
#include "image/ImageRegions.h"
#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "link/qt/Transtatus.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

// Presses OK on the transfer dialog once it may, and notes every status it
// showed.
class DialogWatcher : public QObject {
public:
    std::set<QString> statuses;
    DialogWatcher() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<TTranStaFm*>(window);
                if (!d || !d->isVisible()) continue;
                statuses.insert(d->StatusLabel()->text());
                if (d->OkButton()->isEnabled()) d->OkButton()->click();
            }
        });
        timer_.start(10);
    }

private:
    QTimer timer_;
};

struct Rig : testing::WindowsRig {
    DialogWatcher watcher;
    Rig(const fs::path& folder, const QString& port) : WindowsRig(folder, port) {
        ui.Clear();  // what the windows said at their creation
    }
};

}  // namespace

class VerifyMenuTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    fs::path folder_;
    QProcess sim_;
    QString pty_;

    fs::path FlashFile() const { return fs::path(dir_.path().toStdString()) / "remote.flash"; }
    bool StartSim(const QStringList& extra) {
        testing::StopRemoteSim(sim_);
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, QString::fromStdString(FlashFile().string()), extra,
                                       pty_);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = fs::path(dir_.path().toStdString()) / "program";
        fs::create_directories(folder_);
        fs::copy_file(fs::path(ORVALINK_PROGRAM_DIR) / "type.ini", folder_ / "type.ini");
    }
    void cleanup() {
        testing::StopRemoteSim(sim_);
        fs::remove_all(folder_);
    }

    void theChoiceIsOnByDefaultAndRemembered() {
        struct Case {
            const char* name;
            std::vector<uint8_t> file;  // empty: no side file
            bool checked;
        };
        const Case cases[] = {
            {"no side file", {}, true},
            {"off", {0}, false},
            {"on", {1}, true},
            {"too long: the safe side", {0, 0}, true},
        };
        for (const Case& c : cases) {
            fs::remove(folder_ / kVerifyFile);
            if (!c.file.empty()) {
                std::ofstream out(folder_ / kVerifyFile, std::ios::binary);
                out.write(reinterpret_cast<const char*>(c.file.data()), std::streamsize(c.file.size()));
            }
            bool flipped = false;
            {
                Rig rig(folder_, {});
                QAction* item = rig.main.VerifyAction();
                QVERIFY(item);
                QCOMPARE(item->text(), QStringLiteral("Verify after upload"));
                QVERIFY(item->isCheckable());
                QVERIFY2(item->isChecked() == c.checked, c.name);
                // The user unchecks (or checks) it: the side file follows.
                item->trigger();
                flipped = item->isChecked();
                QCOMPARE(flipped, !c.checked);
                QCOMPARE(ReadVerifyAfterUpload(folder_), flipped);
                QVERIFY(rig.ui.Messages().empty());
            }
            // The next start of the program shows the choice made.
            Rig again(folder_, {});
            QVERIFY2(again.main.VerifyAction()->isChecked() == flipped, c.name);
        }
    }

    void theUploadSaysWhatTheReadBackFound() {
        struct Case {
            const char* name;
            QStringList fault;
            bool verify;
            std::vector<MsgAnswer> answers;  // to "Upload again?"
            int asked;                       // "Upload again?" questions
            QString last;                    // the last thing said
        };
        const QString ok = QStringLiteral("Upload Flash Data Ok !");
        const QString verified = QStringLiteral("Upload Flash Data Ok !\nUpload verified: 1013 blocks as sent.");
        const Case cases[] = {
            {"sound remote", {}, true, {}, 0, verified},
            {"sound remote, not verified", {}, false, {}, 0, ok},
            {"one bit flipped, not again", {"--flip-bit", "300"}, true, {MsgAnswer::No}, 1, {}},
            {"other bytes stored, again once", {"--store-other", "12"}, true, {MsgAnswer::Yes, MsgAnswer::No}, 2, {}},
            {"one bit flipped, not verified", {"--flip-bit", "300"}, false, {}, 0, ok},
        };
        for (const Case& c : cases) {
            QVERIFY(StartSim(c.fault));
            WriteVerifyAfterUpload(folder_, c.verify);
            Rig rig(folder_, pty_);
            QCOMPARE(rig.main.VerifyAction()->isChecked(), c.verify);
            for (MsgAnswer a : c.answers) rig.ui.AnswerNextMessage(a);
            rig.main.m_cUploadItClick();
            rig.comTest.CloseLinkPort();

            const auto& shown = rig.ui.Messages();
            QVERIFY2(!shown.empty(), c.name);
            int asked = 0;
            for (const MessageRequest& m : shown) {
                if (m.buttons != MsgButtons::YesNo) continue;
                ++asked;
                const QString text = QString::fromStdString(m.text);
                // The block is named, and what it holds.
                const uint32_t block = uint32_t(c.fault.value(1).toInt());
                const std::vector<uint32_t> pages{block};
                const QString expected = QStringLiteral("Verify failed: 1 block differs \u2014 ") +
                                         QString::fromStdString(DescribePagesText(rig.flash, pages));
                QVERIFY2(text.startsWith(expected), qPrintable(text));
                QVERIFY2(text.endsWith(QStringLiteral("Upload again?")), qPrintable(text));
            }
            QVERIFY2(asked == c.asked, c.name);
            if (!c.last.isEmpty()) QCOMPARE(QString::fromStdString(shown.back().text), c.last);
            // The dialog's second run, and only when verifying.
            QVERIFY2(rig.watcher.statuses.count(QStringLiteral("Upload to Remote.")) == 1, c.name);
            QVERIFY2(rig.watcher.statuses.count(QStringLiteral("Verifying")) == (c.verify ? 1u : 0u), c.name);
            QVERIFY(rig.main.UploadAction()->isEnabled());
        }
    }
};

QTEST_MAIN(VerifyMenuTest)
#include "VerifyMenuTest.moc"
