// The key property editor on the offscreen platform: type changes with their
// questions, labels, editor modes, OK's refusals, learning, shooting and
// loading codes, the macro and cycle pages, and the refusals that leave a
// key as it was.
#include <QCheckBox>
#include <QComboBox>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <deque>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#include <filesystem>
#include <fstream>

#include "editors/Btnut.h"
#include "formats/Flashut.h"
#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "image/IrWaveform.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

const fs::path kProgramDir = ORVALINK_PROGRAM_DIR;
const fs::path kFactoryDocument = kProgramDir / "bk" / "default_.vmcf";
constexpr int kTv = 1;

// The remote as the editor sees it: learn rounds answer from a queue of
// codes, sends are recorded.
struct ScriptedLink : IrLink {
    bool learnStarts = true;
    std::deque<LearnedCode> toLearn;
    int learnStartsSeen = 0, stops = 0, sendStarts = 0, releases = 0;
    std::vector<LearnedCode> sent;
    bool IrLearnStart() override {
        ++learnStartsSeen;
        return learnStarts;
    }
    // With waitMs, a round with nothing to learn waits for the remote as the
    // real link does, events running, until told to stop.
    int waitMs = 0;
    bool waiting = false, gaveUp = false;
    bool IrLearnReceive(LearnedCode& code, const std::function<bool()>& stop) override {
        if (toLearn.empty() && waitMs > 0) {
            waiting = true;
            gaveUp = QTest::qWaitFor(stop, waitMs);
            waiting = false;
        }
        if (toLearn.empty()) return false;
        code = toLearn.front();
        toLearn.pop_front();
        return true;
    }
    void IrStop() override { ++stops; }
    bool IrSendStart() override {
        ++sendStarts;
        return true;
    }
    bool IrSendCode(std::span<const uint8_t> code) override {
        LearnedCode c{};
        std::copy(code.begin(), code.end(), c.begin());
        sent.push_back(c);
        return true;
    }
    void IrSendRelease() override { ++releases; }
};

struct Fixture {
    ScriptedUiServices ui;
    TTiFlashFm flash;
    Pcg32Random random{7};
    ScriptedLink link;
    std::unique_ptr<TBtnFm> btn;
    int refreshes = 0;

    Fixture() {
        std::vector<uint8_t> payload;
        VFileHeader header;
        const bool loaded = LoadVFile(kFactoryDocument, payload, header);
        Q_ASSERT(loaded && payload.size() <= flash.Image().size());
        std::copy(payload.begin(), payload.end(), flash.Image().begin());
        BtnServices s{flash, ui, random, &link, {}, {}, {}, {}};
        s.refreshMain = [this] { ++refreshes; };
        s.deviceName = [](int d) { return "Dev" + std::to_string(d); };
        btn = std::make_unique<TBtnFm>(std::move(s));
    }

    // A stored IR code of the factory TV, in the send form.
    LearnedCode FactoryCode(int nth = 0) const {
        for (int k = 0; k < 64; ++k) {
            IrCodeInfo code;
            LearnedCode send{};
            if (ReadIrCode(flash, kTv, k, code) && StoredToSend(code, send) && nth-- == 0) return send;
        }
        Q_ASSERT(false);
        return {};
    }

    bool Open(const LayoutKey& key, int mode = kEditSoftKey) {
        KeyEditContext c;
        c.editorMode = mode;
        c.device = kTv;
        c.freeKeyNumbers = {40, 41};
        c.freeDevices = {20, 21};
        return btn->OpenKey(key, c);
    }
};

LayoutKey KeyOfType(uint8_t type) {
    LayoutKey k;
    k.info = DefaultKey();
    k.info.keyNumber = 30;
    k.info.keyType = type;
    k.info.flags = type == kKeyLabel ? 12 : 6;
    k.info.link = kTv;
    k.info.codeBlockCount = 3;
    k.info.codeBlocks.fill(0x11);
    k.info.codeBlocks[1] = 0;
    return k;
}

int RadioOfType(uint8_t type) {
    switch (type) {
        case kKeyLabel: return 1;
        case kKeyIrCode: return 2;
        case kKeyDevice: return 3;
        case kKeyMacro: return 4;
        default: return 5;
    }
}

bool Erased(const KeyInfo& k) {
    if (k.codeBlockCount != 0xFF) return false;
    for (uint8_t b : k.codeBlocks)
        if (b != 0xFF) return false;
    return true;
}

bool DeviceHasKeys(const TTiFlashFm& flash, int device) {
    for (int k = kFirstSoftKey; k < 64; ++k) {
        KeyInfo info;
        if (ReadKey(flash, device, k, info)) return true;
    }
    return false;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

class KeyEditorTest : public QObject {
    Q_OBJECT
private slots:
    // -------------------------------------------------------- type changes
    void everyTypeChangeWithYesNoAndCancel() {
        struct Expect {
            uint8_t from;
            int to;
            bool asks, erases, deletesChild;
        };
        const Expect table[] = {
            {kKeyIrCode, 1, true, true, false},  {kKeyIrCode, 3, false, false, false},
            {kKeyIrCode, 4, true, true, false},  {kKeyIrCode, 5, true, true, false},
            {kKeyDevice, 1, true, true, true},   {kKeyDevice, 2, true, false, true},
            {kKeyDevice, 4, true, true, true},   {kKeyDevice, 5, true, true, true},
            {kKeyMacro, 1, true, true, false},   {kKeyMacro, 2, true, true, false},
            {kKeyMacro, 3, true, true, false},   {kKeyMacro, 5, true, true, false},
            {kKeyCycle, 1, true, true, false},   {kKeyCycle, 2, true, true, false},
            {kKeyCycle, 3, true, true, false},   {kKeyCycle, 4, true, true, false},
        };
        for (const Expect& e : table) {
            for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel}) {
                if (!e.asks && answer != MsgAnswer::Yes) continue;
                const QString where = QStringLiteral("type %1 -> radio %2, answer %3")
                                          .arg(e.from)
                                          .arg(e.to)
                                          .arg(int(answer));
                Fixture f;
                QVERIFY2(DeviceHasKeys(f.flash, kTv), qPrintable(where));
                QVERIFY(f.Open(KeyOfType(e.from)));
                QVERIFY2(f.ui.Messages().empty(), qPrintable(where));  // loading asks nothing
                if (e.from == kKeyDevice) QCOMPARE(f.btn->DeviceNumberBox()->currentText(), QString::number(kTv));
                if (e.asks) f.ui.AnswerNextMessage(answer);
                f.btn->TypeRadioButton(e.to)->click();
                QCOMPARE(int(f.ui.Messages().size()), e.asks ? 1 : 0);
                const bool yes = answer == MsgAnswer::Yes;
                QVERIFY2(f.btn->CurrentRadio() == (yes ? e.to : RadioOfType(e.from)), qPrintable(where));
                QVERIFY2(f.btn->TypeRadioButton(yes ? e.to : RadioOfType(e.from))->isChecked(), qPrintable(where));
                QVERIFY2(Erased(f.btn->Key().info) == (yes && e.erases), qPrintable(where));
                QVERIFY2(DeviceHasKeys(f.flash, kTv) == !(yes && e.deletesChild), qPrintable(where));
                if (yes && e.to == 3) QCOMPARE(f.btn->DeviceTypeBox()->currentText(), QStringLiteral("TV"));
            }
        }
    }

    void fromLabelNeverAsksAndKeepsTheData() {
        for (int to = 2; to <= 5; ++to) {
            Fixture f;
            QVERIFY(f.Open(KeyOfType(kKeyLabel)));
            QCOMPARE(f.btn->CurrentRadio(), kRadioLabel);
            f.btn->TypeRadioButton(to)->click();
            QVERIFY(f.ui.Messages().empty());
            QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
            QVERIFY(!f.btn->PageShown(QStringLiteral("Code")) || to == 2 || to == 3);
        }
    }

    // -------------------------------------------------------------- labels
    void labelOfThirtyBytesAndIconsCountingTwo() {
        Fixture f;
        QVERIFY(f.Open(KeyOfType(kKeyIrCode)));
        QTableWidget* palette = f.btn->Palette();
        palette->setFocus();
        QTest::keyClicks(palette, QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
        QCOMPARE(f.btn->Label().Encoded().size(), size_t(30));
        QVERIFY(f.ui.Messages().empty());
        QTest::keyClick(palette, Qt::Key_X);
        QCOMPARE(f.ui.MessageTexts().back(), std::string(kLabelOverRangeText));
        QCOMPARE(f.ui.Messages().back().icon, MsgIcon::Error);
        QCOMPARE(f.btn->Label().Encoded().size(), size_t(30));
        // Two characters less leave room for one icon, not for two.
        QTest::keyClick(palette, Qt::Key_Backspace);
        QTest::keyClick(palette, Qt::Key_Backspace);
        f.btn->m_IconTBtnClick();
        QVERIFY(f.btn->IconPalette());
        f.btn->m_IconSGridClick(0, 4);  // icon 4
        QCOMPARE(f.btn->Label().Encoded().size(), size_t(30));
        QCOMPARE(f.btn->Label().Encoded()[28], 0xF0);
        QCOMPARE(f.btn->Label().Encoded()[29], 5);
        const size_t before = f.ui.Messages().size();
        f.btn->m_IconSGridClick(1, 0);
        QCOMPARE(f.ui.Messages().size(), before + 1);
        // OK stores it with its length and the terminator.
        f.btn->m_OkBtnClick();
        QVERIFY(f.btn->Accepted());
        QCOMPARE(f.btn->Key().info.labelLength, uint16_t(31));
        QCOMPARE(f.btn->Key().info.label[0], uint8_t('A'));
        QCOMPARE(f.btn->Key().info.label[30], uint8_t(0));
    }

    // The preview shows the whole label; the key shows what its label area
    // holds, and the status bar says when that is only part of it.
    void aLabelLargerThanTheKeyIsToldOnTheStatusBar() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyIrCode);
        key.info.flags = kFlagHasCode;  // an oval key: one line of label
        key.info.width = 2;
        key.info.height = 2;
        key.info.SetLabel(std::string("AB"));
        QVERIFY(f.Open(key));
        QVERIFY(f.btn->StatusText().isEmpty());
        QTableWidget* palette = f.btn->Palette();
        palette->setFocus();
        f.btn->m_EnterBtnClick();
        QTest::keyClick(palette, Qt::Key_C);
        const QString part = f.btn->StatusText();
        QVERIFY2(part.contains(QStringLiteral("only part")), qPrintable(part));
        // A rectangle of the same cells has room for the second line.
        f.btn->ShapeRect()->click();
        QVERIFY(f.btn->StatusText().isEmpty());
        f.btn->findChild<QRadioButton*>(QStringLiteral("m_shapeR2"))->click();
        QCOMPARE(f.btn->StatusText(), part);
        // Taking the second line away again makes the label fit.
        QTest::keyClick(palette, Qt::Key_Backspace);
        QCOMPARE(f.btn->StatusText(), part);
        QTest::keyClick(palette, Qt::Key_Backspace);
        QVERIFY(f.btn->StatusText().isEmpty());
        QCOMPARE(f.btn->Label().Encoded(), (std::vector<uint8_t>{'A', 'B'}));
        // Opening a key whose label does not fit says so at once.
        key.info.SetLabel(std::string("ABCDEFGH"));
        f.btn->m_CancelBtnClick();
        QVERIFY(f.Open(key));
        QCOMPARE(f.btn->StatusText(), part);
        // A hard key has no label on the LCD, so nothing is said for it.
        f.btn->m_CancelBtnClick();
        QVERIFY(f.Open(key, kEditHardKey));
        QVERIFY2(f.btn->StatusText().isEmpty(), qPrintable(f.btn->StatusText()));
    }

    void previewShowsGlyphsAndTheCursor() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyIrCode);
        key.info.SetLabel(std::string("Hi"));
        QVERIFY(f.Open(key));
        QCOMPARE(f.btn->Label().Elements().size(), size_t(2));
        const QImage shown = f.btn->Preview()->pixmap().toImage();
        QVERIFY(!shown.isNull());
        bool ink = false, red = false;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                ink |= c == Qt::black;
                red |= c == Qt::red;
            }
        QVERIFY(ink);
        QVERIFY(red);
    }

    // --------------------------------------------------------- editor modes
    void editorModesShowTheirPages() {
        Fixture f;
        QVERIFY(f.Open(KeyOfType(kKeyMacro), kEditSoftKey));
        QVERIFY(f.btn->PageShown(QStringLiteral("Attribute")));
        QVERIFY(f.btn->PageShown(QStringLiteral("Label")));
        QVERIFY(f.btn->PageShown(QStringLiteral("Macro")));
        QVERIFY(!f.btn->PageShown(QStringLiteral("Timer")));
        QVERIFY(f.btn->KeyNumberBox()->isEnabled());
        f.btn->m_CancelBtnClick();

        LayoutKey hard = KeyOfType(kKeyIrCode);
        hard.info.keyNumber = 2;
        QVERIFY(f.Open(hard, kEditHardKey));
        QVERIFY(!f.btn->PageShown(QStringLiteral("Label")));
        QVERIFY(f.btn->AttributePanel()->isHidden());
        QVERIFY(!f.btn->TypeRadioButton(kRadioLabel)->isEnabled());
        QVERIFY(!f.btn->TypeRadioButton(kRadioDevice)->isEnabled());
        QVERIFY(!f.btn->PageEnabled(QStringLiteral("Timer")));
        QVERIFY(!f.btn->KeyNumberBox()->isEnabled());
        f.btn->m_OkBtnClick();  // nothing of the attributes is stored
        QCOMPARE(f.btn->Key().info.flags, hard.info.flags);
        QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));

        LayoutKey macroKey = KeyOfType(kKeyLabel);
        QVERIFY(f.Open(macroKey, kEditMacroKey));
        QVERIFY(!f.btn->PageShown(QStringLiteral("Attribute")));
        QVERIFY(!f.btn->PageShown(QStringLiteral("Code")));
        QVERIFY(!f.btn->PageShown(QStringLiteral("Cycle")));
        QVERIFY(f.btn->PageShown(QStringLiteral("Macro")));
        QVERIFY(f.btn->PageShown(QStringLiteral("Timer")));
        QVERIFY(f.btn->PageEnabled(QStringLiteral("Timer")));
        QVERIFY(!f.btn->KeyNumberBox()->isEnabled());
        f.btn->m_OkBtnClick();
        QCOMPARE(f.btn->Key().info.keyType, uint8_t(kKeyMacro));  // always a macro key
    }

    // ------------------------------------------------------------- OK rules
    void okRefusals() {
        Fixture f;
        // A cycle key without steps keeps the window open.
        LayoutKey cycle = KeyOfType(kKeyLabel);
        QVERIFY(f.Open(cycle));
        f.btn->TypeRadioButton(kRadioCycle)->click();
        f.btn->m_OkBtnClick();
        QCOMPARE(f.ui.MessageTexts().back(), std::string(kNoCycleStepText));
        QVERIFY(!f.btn->Finished());
        f.btn->m_CancelBtnClick();
        QVERIFY(f.btn->Finished());
        QVERIFY(!f.btn->Accepted());

        // A key number above 63 stops OK.
        QVERIFY(f.Open(KeyOfType(kKeyIrCode)));
        f.btn->KeyNumberBox()->setCurrentText(QStringLiteral("64"));
        f.btn->m_OkBtnClick();
        QVERIFY(!f.btn->Finished());
        f.btn->KeyNumberBox()->setCurrentText(QStringLiteral("41"));
        f.btn->m_OkBtnClick();
        QVERIFY(f.btn->Accepted());
        QCOMPARE(f.btn->Key().info.keyNumber, uint8_t(41));

        // Device number 65 is refused and the key saved as an IR code key.
        QVERIFY(f.Open(KeyOfType(kKeyLabel)));
        f.btn->TypeRadioButton(kRadioDevice)->click();
        f.btn->DeviceNumberBox()->setCurrentText(QStringLiteral("65"));
        f.ui.AnswerNextMessage(MsgAnswer::Yes);
        f.btn->m_OkBtnClick();
        QCOMPARE(f.ui.MessageTexts().back(), std::string(kOutOfDeviceText));
        QVERIFY(f.btn->Accepted());
        QCOMPARE(f.btn->Key().info.keyType, uint8_t(kKeyIrCode));
        QCOMPARE(f.btn->Key().info.link, uint8_t(kTv));

        // A device key takes the device number and its type's first code.
        QVERIFY(f.Open(KeyOfType(kKeyLabel)));
        f.btn->TypeRadioButton(kRadioDevice)->click();
        f.btn->DeviceNumberBox()->setCurrentText(QStringLiteral("21"));
        f.btn->DeviceTypeBox()->setCurrentText(QStringLiteral("RECEIVER"));
        f.btn->m_OkBtnClick();
        QCOMPARE(f.btn->Key().info.keyType, uint8_t(kKeyDevice));
        QCOMPARE(f.btn->Key().info.link, uint8_t(21));
        QCOMPARE(f.btn->Key().info.codeNumber, int16_t(1920));
    }

    // Every waveform point is labelled "pair:duration" in its pair's colour;
    // labels that would overlap wait until the chart is wide enough.
    void waveformPointsAreLabelledInTheirPairColour() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyIrCode);
        const LearnedCode send = f.FactoryCode(0);
        IrCodeInfo stored;
        QVERIFY(LearnedToStored(send, stored));
        key.info.codeBlocks.fill(0xFF);
        QVERIFY(PackIrCode(stored, std::span<uint8_t>(key.info.codeBlocks.data(), size_t(stored.size) * 8)));
        key.info.codeBlockCount = stored.size;
        QVERIFY(f.Open(key));
        const std::vector<WavePoint> points = WaveformPoints(MarksAndSpaces(stored));
        QVERIFY(points.size() > 20);
        QChart* chart = f.btn->CodeChart()->chart();
        const auto labels = [chart] {
            std::vector<QGraphicsSimpleTextItem*> out;
            for (QGraphicsItem* item : chart->childItems())
                if (auto* t = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item); t && t->data(0).isValid())
                    out.push_back(t);
            std::sort(out.begin(), out.end(),
                      [](auto* a, auto* b) { return a->data(0).toPointF().x() < b->data(0).toPointF().x(); });
            return out;
        };
        auto shown = labels();
        QCOMPARE(shown.size(), points.size());
        Pcg32Random expected{7};
        int darkened = 0;
        for (size_t i = 0; i < points.size(); ++i) {
            QCOMPARE(shown[i]->text(), QString::fromStdString(points[i].label));
            if (i % 2 == 0) {
                // The pair's colour, kept where it reads on white and darkened
                // in the same hue where it is pale.
                const QColor pair(int(expected.Next() % 255), int(expected.Next() % 255), int(expected.Next() % 255));
                const QColor text = shown[i]->brush().color();
                const auto luma = [](const QColor& c) { return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue(); };
                if (luma(pair) <= 120) {
                    QCOMPARE(text, pair);
                } else {
                    ++darkened;
                    QVERIFY2(luma(text) <= 120, qPrintable(text.name()));
                    const int hueStep = std::abs(text.hslHue() - pair.hslHue());
                    if (pair.hslSaturation() > 40)
                        QVERIFY2(std::min(hueStep, 360 - hueStep) <= 3, qPrintable(pair.name() + " " + text.name()));
                }
            } else {
                QCOMPARE(shown[i]->brush().color(), shown[i - 1]->brush().color());
            }
        }
        QVERIFY(darkened > 0);  // seed 7 gives this code some pale pairs
        // A narrow chart shows some labels, none over another on its level.
        f.btn->Pages()->setCurrentWidget(f.btn->Page(QStringLiteral("Code")));
        f.btn->CodeChart()->setFixedWidth(250);
        f.btn->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.btn.get()));
        QTest::qWait(50);
        const auto visibleCount = [&] {
            return std::count_if(shown.begin(), shown.end(), [](auto* t) { return t->isVisible(); });
        };
        const auto narrow = visibleCount();
        QVERIFY2(narrow > 0 && narrow < long(points.size()), qPrintable(QString::number(narrow)));
        for (int level : {0, 1}) {
            double last = -1e9;
            for (auto* t : shown)
                if (t->isVisible() && int(t->data(0).toPointF().y()) == level) {
                    QVERIFY(t->pos().x() - last >= t->boundingRect().height());
                    last = t->pos().x();
                }
        }
        // Wide enough, every point has its label.
        f.btn->CodeChart()->setFixedWidth(1200);
        QTRY_COMPARE(visibleCount(), long(points.size()));
        // Another code takes the old labels away.
        f.btn->m_CancelBtnClick();
        QVERIFY(labels().empty());
    }

    // ------------------------------------------------------ learning, shots
    // Cancel while a learning round waits for the remote: the wait ends with
    // it, so no later click runs inside it.
    void endingLearningEndsTheRoundsWait() {
        Fixture f;
        f.link.waitMs = 20000;
        QVERIFY(f.Open(KeyOfType(kKeyIrCode)));
        bool waitedWhenCancelled = false;
        QTimer::singleShot(300, f.btn.get(), [&] {
            waitedWhenCancelled = f.link.waiting;
            f.btn->m_CancelBtnClick();
        });
        f.btn->m_LearnBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(!f.btn->Learning(), 10000);
        QVERIFY(waitedWhenCancelled);
        QVERIFY(!f.link.waiting);
        QVERIFY2(f.link.gaveUp, "the round went on waiting after Cancel");
        QCOMPARE(f.link.stops, 1);
    }

    // A second key cannot be opened while the editor has one open.
    void oneKeyAtATime() {
        Fixture f;
        KeyEditContext c;
        c.editorMode = kEditSoftKey;
        c.device = kTv;
        LayoutKey first = KeyOfType(kKeyIrCode);
        LayoutKey second = KeyOfType(kKeyLabel);
        second.info.keyNumber = 31;
        bool secondOpened = true;
        QTimer::singleShot(0, f.btn.get(), [&] {
            secondOpened = f.btn->EditKey(second, c);
            f.btn->m_OkBtnClick();
        });
        QVERIFY(f.btn->EditKey(first, c));
        QVERIFY(!secondOpened);
        QCOMPARE(first.info.keyNumber, uint8_t(30));
        QCOMPARE(first.info.keyType, uint8_t(kKeyIrCode));
        QCOMPARE(second.info.keyType, uint8_t(kKeyLabel));
    }


    void learningTwoCodesStoresTheSecond() {
        Fixture f;
        const LearnedCode first = f.FactoryCode(0);
        const LearnedCode second = f.FactoryCode(3);
        QVERIFY(first != second);
        f.link.toLearn = {first, second};
        QVERIFY(f.Open(KeyOfType(kKeyIrCode)));
        f.btn->m_LearnBtnClick();
        QVERIFY(f.btn->Learning());
        QVERIFY(!f.btn->PageEnabled(QStringLiteral("Label")));
        QVERIFY(!f.btn->LearnButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(f.link.toLearn.empty(), 5000);
        f.btn->m_LeaveBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(!f.btn->Learning(), 5000);
        QCOMPARE(f.link.stops, 1);
        QVERIFY(f.btn->PageEnabled(QStringLiteral("Label")));
        IrCodeInfo stored;
        LearnedCode back{};
        QVERIFY(UnpackIrCode(std::span<const uint8_t>(f.btn->Key().info.codeBlocks.data(),
                                                      size_t(f.btn->Key().info.codeBlockCount) * 8),
                             stored));
        QVERIFY(StoredToSend(stored, back));
        QVERIFY(back == second);
        QVERIFY(f.btn->KeyChangedAtOnce());
        QVERIFY(!f.btn->CodeTypeText()->text().isEmpty());
        QVERIFY(!f.btn->CarrierText()->text().isEmpty());
        QCOMPARE(f.btn->ChartPointCount(f.btn->CodeChart()), int(2 * MarksAndSpaces(stored).size()));
        // Pictures of the pages for a person to look at, when asked for.
        if (const QByteArray dir = qgetenv("ORVALINK_SCREENSHOT_DIR"); !dir.isEmpty()) {
            f.btn->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.btn.get()));
            f.btn->Pages()->setCurrentWidget(f.btn->Page(QStringLiteral("Code")));
            QTest::qWait(300);
            QVERIFY(f.btn->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/key-editor-code.png")));
            QTest::keyClicks(f.btn->Palette(), QStringLiteral("Power"));
            f.btn->m_IconTBtnClick();
            f.btn->m_IconSGridClick(0, 3);
            f.btn->Pages()->setCurrentWidget(f.btn->Page(QStringLiteral("Label")));
            QTest::qWait(300);
            QVERIFY(f.btn->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/key-editor-label.png")));
        }
        // Cancel undoes none of it.
        f.btn->m_CancelBtnClick();
        QCOMPARE(f.btn->Key().info.codeBlockCount, stored.size);
    }

    void aCodeThatCannotBeConvertedLeavesTheKey() {
        Fixture f;
        LearnedCode bad{};
        bad[0] = 3;  // no first-frame symbols
        f.link.toLearn = {bad};
        const LayoutKey key = KeyOfType(kKeyIrCode);
        QVERIFY(f.Open(key));
        f.btn->m_LearnBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(f.link.toLearn.empty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(f.btn->StatusText().contains(QStringLiteral("could not be converted")), 2000);
        QVERIFY(f.btn->Key().info.codeBlocks == key.info.codeBlocks);
        QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
        QVERIFY(!f.btn->KeyChangedAtOnce());
        f.btn->m_CancelBtnClick();
        QVERIFY(!f.btn->Learning());
        QCOMPARE(f.link.stops, 1);
    }

    void shootPressAndRelease() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyIrCode);
        f.link.toLearn = {f.FactoryCode(1)};
        QVERIFY(f.Open(key));
        // Release without a press sends nothing.
        f.btn->m_ShootBtnUp();
        QCOMPARE(f.link.releases, 0);
        QCOMPARE(f.link.sendStarts, 0);
        f.btn->m_LearnBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(f.link.toLearn.empty(), 5000);
        f.btn->m_CancelBtnClick();  // ends learning at once
        QVERIFY(f.Open(f.btn->Key()));
        f.btn->show();
        f.btn->Pages()->setCurrentWidget(f.btn->Page(QStringLiteral("Code")));
        QVERIFY(QTest::qWaitForWindowExposed(f.btn.get()));
        QTest::mousePress(f.btn->ShootButton(), Qt::LeftButton);
        QCOMPARE(f.link.sendStarts, 1);
        QCOMPARE(f.link.sent.size(), size_t(1));
        QVERIFY(f.link.sent[0] == f.FactoryCode(1));
        QCOMPARE(f.link.releases, 0);
        QTest::mouseRelease(f.btn->ShootButton(), Qt::LeftButton);
        QCOMPARE(f.link.releases, 1);
        f.btn->m_ShootBtnUp();
        QCOMPARE(f.link.releases, 1);
    }

    void loadingAnSbinAndItsBounds() {
        Fixture f;
        QTemporaryDir dir;
        const LearnedCode code = f.FactoryCode(2);
        const size_t used = size_t(code[0]) * 8;
        const fs::path good = fs::path(dir.path().toStdString()) / "good.sbin";
        WriteFile(good, std::vector<uint8_t>(code.begin(), code.begin() + long(used)));
        std::vector<uint8_t> tooBig(code.begin(), code.begin() + long(used));
        tooBig[0] = 41;
        const fs::path big = fs::path(dir.path().toStdString()) / "big.sbin";
        WriteFile(big, tooBig);
        std::vector<uint8_t> timings(code.begin(), code.begin() + long(used));
        timings[7] = 17;
        const fs::path many = fs::path(dir.path().toStdString()) / "many.sbin";
        WriteFile(many, timings);
        // A sound code with more after it than a learned code holds, and a
        // file gone between the dialog and the reading.
        std::vector<uint8_t> longer(code.begin(), code.end());
        longer.resize(64 * 1024, 0x55);
        const fs::path tail = fs::path(dir.path().toStdString()) / "long.sbin";
        WriteFile(tail, longer);
        const fs::path gone = fs::path(dir.path().toStdString()) / "gone.sbin";
        std::vector<fs::path> refused{big, many, tail, gone};
#ifdef Q_OS_UNIX
        // A named pipe with no writer: reading it would wait for ever.
        const fs::path pipe = fs::path(dir.path().toStdString()) / "pipe.sbin";
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        refused.push_back(pipe);
#endif

        const LayoutKey key = KeyOfType(kKeyIrCode);
        QVERIFY(f.Open(key));
        for (const fs::path& p : refused) {
            f.ui.ChooseNext(p.string());
            f.btn->m_LoadIRBtnClick();
            QCOMPARE(f.ui.Messages().back().icon, MsgIcon::Error);
            QVERIFY(f.btn->Key().info.codeBlocks == key.info.codeBlocks);
            QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
        }
        QCOMPARE(f.ui.Dialogs().back().filter, std::string("S Binary  Files (*.sbin)|*.sbin|All Files (*.*)|*.*"));
        f.ui.ChooseNext(good.string());
        f.btn->m_LoadIRBtnClick();
        IrCodeInfo stored;
        LearnedCode back{};
        QVERIFY(UnpackIrCode(std::span<const uint8_t>(f.btn->Key().info.codeBlocks.data(),
                                                      size_t(f.btn->Key().info.codeBlockCount) * 8),
                             stored));
        QVERIFY(StoredToSend(stored, back));
        QVERIFY(back == code);
    }

    // ------------------------------------------------------------ macros
    void macroStepsPackIntoBlocksAndNoDataMessages() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyMacro);
        key.info.codeBlockCount = 0xFF;
        QVERIFY(f.Open(key));
        using Click = void (TBtnFm::*)();
        for (Click click : {&TBtnFm::m_ViewBtnClick, &TBtnFm::m_InsertBtnClick, &TBtnFm::m_EditBtnClick,
                            &TBtnFm::m_DeleteBtnClick})
            (f.btn.get()->*click)();
        QCOMPARE(f.ui.MessageTexts(), (std::vector<std::string>{"No data to view !", "No data to insert !",
                                                                  "No data to edit !", "No data to delete !"}));
        for (const MessageRequest& m : f.ui.Messages()) QCOMPARE(m.icon, MsgIcon::Error);
        // Three steps arrive from the layout editor.
        for (int k = 0; k < 3; ++k) {
            MacroStepCursor c;
            c.device = kTv;
            c.key = uint8_t(10 + k);
            c.delay = uint8_t(k);
            c.operation = kStepNew;
            f.btn->TakeStep(c);
        }
        // Insert before step 1 and the edges that are refused.
        MacroStepCursor ins;
        ins.device = 2;
        ins.key = 7;
        ins.step = 1;
        ins.operation = kStepInsert;
        f.btn->TakeStep(ins);
        QCOMPARE(f.btn->StepGrid()->rowCount(), 4);
        QCOMPARE(f.btn->StepGrid()->item(0, 4)->text(), QStringLiteral("7"));
        QCOMPARE(f.btn->StepGrid()->item(1, 3)->text(), QStringLiteral("0.5"));
        QCOMPARE(f.btn->StepGrid()->item(3, 0)->text(), QStringLiteral("4"));
        ins.step = 0;
        f.btn->TakeStep(ins);
        ins.step = 5;
        f.btn->TakeStep(ins);
        QCOMPARE(f.btn->StepGrid()->rowCount(), 4);
        QVERIFY(f.btn->MacroUnsaved());
        QVERIFY(f.btn->MacroSaveButton()->styleSheet().contains(QStringLiteral("255,0,0")));
        // Delete step 1 again, then save: 3 steps, 3 blocks.
        f.btn->m_StepSGridSelect(0);
        QVERIFY(!f.btn->findChild<QPushButton*>(QStringLiteral("m_MUpBtn"))->isEnabled());
        f.btn->m_DeleteBtnClick();
        QCOMPARE(f.btn->Macro().Selected(), 1);
        f.btn->m_macroSaveBtnClick();
        QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
        QCOMPARE(f.btn->Key().info.codeBlocks[1], uint8_t(15));
        QCOMPARE(f.btn->Key().info.codeBlocks[7], uint8_t(3));
        QCOMPARE(f.btn->Key().info.codeBlocks[9], uint8_t(10));
        QVERIFY(f.btn->MacroSaveButton()->styleSheet().contains(QStringLiteral("0,0,255")));
        // A changed delay asks on OK.
        f.btn->SetStepDelayText(3, "x");
        QVERIFY(f.btn->MacroUnsaved());
        const KeyInfo before = f.btn->Key().info;
        f.ui.AnswerNextMessage(MsgAnswer::Yes);
        f.btn->m_OkBtnClick();
        QCOMPARE(f.ui.MessageTexts()[4], std::string("Save change to this MACRO key ?"));
        // The build failed: the key keeps its macro and says so.
        QCOMPARE(f.ui.MessageTexts()[5], std::string("Save MACRO error !"));
        QVERIFY(f.btn->Key().info.codeBlocks == before.codeBlocks);
        QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
    }

    void macroButtonsOpenTheLayoutEditorOnTheRightDevice() {
        Fixture f;
        std::vector<std::pair<int, int>> opened;  // device, mode
        BtnServices s{f.flash, f.ui, f.random, &f.link, {}, {}, {}, {}};
        s.openStepWindow = [&](int device, EditorMode mode) -> TSoftLCDFm* {
            opened.emplace_back(device, int(mode));
            return nullptr;  // refused: the key editor stays
        };
        TBtnFm btn(std::move(s));
        LayoutKey key = KeyOfType(kKeyMacro);
        key.info.codeBlockCount = 0xFF;
        KeyEditContext c;
        c.device = kTv;
        QVERIFY(btn.OpenKey(key, c));
        btn.m_NewBtnClick();  // an empty macro starts a new one
        MacroStepCursor step;
        step.device = 3;
        step.key = 12;
        step.operation = kStepNew;
        btn.TakeStep(step);
        btn.m_ViewBtnClick();  // no selection: step 1, on its device
        btn.m_StepSGridSelect(0);
        btn.m_EditBtnClick();
        c.device = kMacroSlot;
        c.editorMode = kEditMacroKey;
        QVERIFY(btn.OpenKey(key, c));
        btn.m_NewBtnClick();  // a key of the Macro device records on Home
        const std::vector<std::pair<int, int>> expected{
            {kTv, int(ModeStepEdit)}, {3, int(ModeStepView)}, {kTv, int(ModeStepEdit)}, {kHomeSlot, int(ModeStepEdit)}};
        QCOMPARE(opened, expected);
        QVERIFY(f.ui.Messages().empty());
    }

    void timersWithMonthZeroAndMinuteSixty() {
        Fixture f;
        LayoutKey key = KeyOfType(kKeyLabel);
        f.btn->DatePicker()->setDate(QDate(2024, 6, 15));
        f.btn->TimePicker()->setTime(QTime(8, 30));
        for (const std::array<uint8_t, 5>& t :
             {std::array<uint8_t, 5>{1, 0, 5, 10, 20}, std::array<uint8_t, 5>{1, 3, 5, 10, 60}}) {
            const uint8_t data[] = {2, 15, t[0], t[1], t[2], t[3], t[4], 1, 1, 6, 0};
            key.info.codeBlocks.fill(0xFF);
            std::copy(std::begin(data), std::end(data), key.info.codeBlocks.begin());
            key.info.codeBlockCount = 2;
            QVERIFY(f.Open(key, kEditMacroKey));
            QVERIFY(f.btn->TimerRadio(kTimerSpecific)->isChecked());
            QCOMPARE(f.btn->DatePicker()->date().month(), 6);
            QCOMPARE(f.btn->DatePicker()->date().day(), 15);
            QCOMPARE(f.btn->TimePicker()->time(), QTime(8, 30));
            f.btn->m_CancelBtnClick();
        }
        // Week: the day mask, the date bytes kept.
        const uint8_t week[] = {2, 15, 0x0A, 4, 5, 6, 7, 1, 1, 6, 0};
        std::copy(std::begin(week), std::end(week), key.info.codeBlocks.begin());
        QVERIFY(f.Open(key, kEditMacroKey));
        QVERIFY(f.btn->TimerRadio(kTimerWeek)->isChecked());
        QVERIFY(f.btn->DayBox(0)->isChecked());
        QVERIFY(f.btn->DayBox(2)->isChecked());
        QVERIFY(!f.btn->DayBox(1)->isChecked());
        f.btn->DayBox(6)->click();
        QVERIFY(f.btn->MacroUnsaved());
        f.btn->m_macroSaveBtnClick();
        QCOMPARE(f.btn->Key().info.codeBlocks[2], uint8_t(0x8A));
        QCOMPARE(f.btn->Key().info.codeBlocks[3], uint8_t(4));
        QCOMPARE(f.btn->Key().info.codeBlocks[6], uint8_t(7));
        f.btn->m_OkBtnClick();
        // After OK the kind is back to Disable.
        QVERIFY(f.btn->TimerRadio(kTimerDisable)->isChecked());
    }

    // -------------------------------------------------------------- cycles
    void seventhCycleCodeIsRefusedAndLearningStops() {
        Fixture f;
        for (int i = 0; i < 7; ++i) f.link.toLearn.push_back(f.FactoryCode(i % 4));
        QVERIFY(f.Open(KeyOfType(kKeyLabel)));
        f.btn->TypeRadioButton(kRadioCycle)->click();
        f.btn->m_cLearnBtnClick();
        QTRY_VERIFY_WITH_TIMEOUT(!f.btn->Learning(), 10000);
        QCOMPARE(f.btn->Cycle().Count(), 6);
        QCOMPARE(f.ui.MessageTexts().back(), std::string(kOutOfCycleStepText));
        QCOMPARE(f.link.stops, 1);
        QCOMPARE(f.btn->CycleGrid()->rowCount(), 6);
        QCOMPARE(f.btn->CycleGrid()->item(5, 1)->text(), QStringLiteral("Code 6"));
        // Remove the last; up on the first is refused.
        f.btn->m_CycleGridSelect(5);
        f.btn->m_cRemoveBtnClick();
        QCOMPARE(f.btn->Cycle().Count(), 5);
        QCOMPARE(f.btn->Cycle().Selected(), 5);
        f.btn->m_OkBtnClick();
        QVERIFY(f.btn->Accepted());
        QCOMPARE(f.btn->Key().info.keyType, uint8_t(kKeyCycle));
        QCOMPARE(f.btn->Key().info.codeBlockCount, uint8_t(3));
        QCOMPARE(f.btn->Key().cycle.stepCount, uint8_t(5));
        QVERIFY(f.btn->Key().hasCycle);
    }
};

QTEST_MAIN(KeyEditorTest)
#include "KeyEditorTest.moc"
