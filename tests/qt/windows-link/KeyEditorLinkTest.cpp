// The key property editor learning and shooting through the communication
// window's link, over a real pseudo-terminal with the virtual remote on its
// far end in this process.
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "editors/Btnut.h"
#include "editors/core/BlockIrLink.h"
#include "formats/Flashut.h"
#include "image/CodeRecords.h"
#include "image/KeyRecords.h"
#include "image/LearnedCodes.h"
#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "link/sim/VirtualRemote.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

const fs::path kProgramDir = ORVALINK_PROGRAM_DIR;

uint64_t NowMicros() {
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

// The virtual remote behind the master side of a pseudo-terminal, served by
// the event loop: a notifier for what the program writes, a timer for the
// remote's own delays.
class PtyRemote : public QObject {
public:
    VirtualRemote remote;
    QString path;

    bool Open() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
        const char* name = ptsname(master_);
        if (!name) return false;
        path = QString::fromLocal8Bit(name);
        keep_ = ::open(name, O_RDWR | O_NOCTTY);
        termios t{};
        if (keep_ < 0 || tcgetattr(keep_, &t) != 0) return false;
        cfmakeraw(&t);
        tcsetattr(keep_, TCSANOW, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        remote.SetLenientWake(true);
        remote.Timing().learnMicros = 200'000;
        remote.SetOutput([this](std::span<const uint8_t> bytes, int) {
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
                if (n <= 0) break;
                done += size_t(n);
            }
        });
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            uint8_t buffer[1024];
            ssize_t n;
            while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
                remote.Receive(std::span<const uint8_t>(buffer, size_t(n)), 115200, NowMicros());
        });
        connect(&tick_, &QTimer::timeout, this, [this] { remote.RunUntil(NowMicros()); });
        tick_.start(2);
        return true;
    }
    ~PtyRemote() override {
        tick_.stop();
        delete notifier_;
        if (keep_ >= 0) ::close(keep_);
        if (master_ >= 0) ::close(master_);
    }

private:
    int master_ = -1;
    int keep_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer tick_;
};

LearnedCode CodeOf(const TTiFlashFm& flash, int nth) {
    for (int k = 0; k < 64; ++k) {
        IrCodeInfo code;
        LearnedCode send{};
        if (ReadIrCode(flash, 1, k, code) && StoredToSend(code, send) && nth-- == 0) return send;
    }
    return {};
}

LearnedCode KeyCodeSent(const LayoutKey& key) {
    IrCodeInfo stored;
    LearnedCode send{};
    const size_t n = size_t(key.info.codeBlockCount) * 8;
    if (key.info.codeBlockCount == 0xFF ||
        !UnpackIrCode(std::span<const uint8_t>(key.info.codeBlocks.data(), n), stored) ||
        !StoredToSend(stored, send))
        return {};
    return send;
}

}  // namespace

class KeyEditorLinkTest : public QObject {
    Q_OBJECT
private slots:
    void learnTwoCodesThenShootTheSecond() {
        PtyRemote pty;
        QVERIFY(pty.Open());
        ScriptedUiServices ui;
        FixedClock clock;
        Pcg32Random random(3);
        TTiFlashFm flash;
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(kProgramDir / "bk" / "default_.vmcf", payload, header));
        std::copy(payload.begin(), payload.end(), flash.Image().begin());
        SysfsRegistry registry;
        registry.AddPortEntry(pty.path.toStdString() + "=COM3");
        QTemporaryDir dir;
        TComTestFm comTest(fs::path(dir.path().toStdString()), ui, clock, flash, registry);
        BlockIrLink link(comTest.Link().Blocks());
        TBtnFm btn(BtnServices{flash, ui, random, &link, {}, {}, {}, {}});

        const LearnedCode first = CodeOf(flash, 0);
        const LearnedCode second = CodeOf(flash, 2);
        QVERIFY(first != second);
        LayoutKey key;
        key.info = DefaultKey();
        key.info.keyNumber = 20;
        key.info.keyType = kKeyIrCode;
        KeyEditContext context;
        context.device = 1;
        context.freeKeyNumbers = {20};
        QVERIFY(btn.OpenKey(key, context));

        // Two learning sessions; the key keeps the code learned last.
        for (const LearnedCode& code : {first, second}) {
            pty.remote.SetLearnedCode(code);
            btn.m_LearnBtnClick();
            QVERIFY(btn.Learning());
            QTRY_VERIFY_WITH_TIMEOUT(KeyCodeSent(btn.Key()) == code, 15000);
            btn.m_LeaveBtnClick();
            QTRY_VERIFY_WITH_TIMEOUT(!btn.Learning(), 10000);
        }
        QVERIFY(KeyCodeSent(btn.Key()) == second);
        QVERIFY(btn.KeyChangedAtOnce());

        // Release without a press sends nothing; a press sends the 514
        // bytes, the release the 'B's.
        btn.m_ShootBtnUp();
        QCOMPARE(pty.remote.CodesReceived().size(), size_t(0));
        btn.m_ShootBtnDown();
        QTRY_COMPARE_WITH_TIMEOUT(pty.remote.CodesReceived().size(), size_t(1), 5000);
        QVERIFY(pty.remote.CodesReceived()[0] == second);
        QTRY_COMPARE_WITH_TIMEOUT(pty.remote.Shots(), 1, 5000);
        btn.m_ShootBtnUp();
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(pty.remote.StateName()) != QStringLiteral("IrSendFiring"),
                                  true, 5000);
        btn.m_ShootBtnUp();
        QCOMPARE(pty.remote.CodesReceived().size(), size_t(1));
        btn.m_CancelBtnClick();
    }
};

QTEST_MAIN(KeyEditorLinkTest)
#include "KeyEditorLinkTest.moc"
