// Button Properties' "Make code…", "Import code…" and "Export code…" on the
// offscreen platform: OK puts the code on the key, Cancel and a code the
// remote cannot hold leave the key as it was (the latter saying why), and an
// exported code reads back as the same code.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "editors/BtnCodeSources.h"
#include "editors/BtnWaveform.h"
#include "editors/Btnut.h"
#include "editors/core/KeyEditing.h"
#include "formats/Flashut.h"
#include "image/IrWaveform.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

const fs::path kProgramDir = ORVALINK_PROGRAM_DIR;
constexpr int kTv = 1;

struct Fixture {
    ScriptedUiServices ui;
    TTiFlashFm flash;
    Pcg32Random random{7};
    std::unique_ptr<TBtnFm> btn;
    LayoutKey key;

    Fixture() {
        std::vector<uint8_t> payload;
        VFileHeader header;
        const bool loaded = LoadVFile(kProgramDir / "bk" / "default_.vmcf", payload, header);
        Q_ASSERT(loaded && payload.size() <= flash.Image().size());
        std::copy(payload.begin(), payload.end(), flash.Image().begin());
        BtnServices s{flash, ui, random, nullptr, {}, {}, {}, {}};
        s.deviceName = [](int) { return std::string("TV"); };
        btn = std::make_unique<TBtnFm>(std::move(s));
        key.info = DefaultKey();
        key.info.keyNumber = 30;
        key.info.keyType = kKeyIrCode;
        key.info.flags = 6;
        key.info.SetLabel(std::string("Mute"));
        key.info.codeBlockCount = 3;
        key.info.codeBlocks.fill(0x11);
        KeyEditContext c;
        c.device = kTv;
        c.freeKeyNumbers = {40};
        btn->OpenKey(key, c);
        btn->show();
    }

    TBtnCodePage* Page() const { return btn->CodePage(); }
    bool KeyAsItWas() const {
        return btn->Key().info.codeBlockCount == key.info.codeBlockCount &&
               btn->Key().info.codeBlocks == key.info.codeBlocks && !btn->KeyChangedAtOnce();
    }
    std::optional<IrDecoded> KeyDecoded() const {
        IrCodeInfo code;
        if (!KeyIrCode(btn->Key().info, code)) return std::nullopt;
        return DecodeIr(MarksAndSpaces(code));
    }
};

// An NEC code as a Pronto Hex list file holds it.
std::string NecPronto(unsigned device, unsigned function) {
    std::vector<unsigned> words = {0x0000, 0x006D, 34, 0x0000, 0x0156, 0x00AB};
    for (unsigned byte : {device, device ^ 0xFF, function, function ^ 0xFF})
        for (int bit = 0; bit < 8; ++bit) {
            words.push_back(0x0015);
            words.push_back((byte >> bit) & 1 ? 0x0040 : 0x0015);
        }
    words.push_back(0x0015);
    words.push_back(0x05F7);
    std::string text;
    char word[8];
    for (unsigned w : words) {
        std::snprintf(word, sizeof word, "%04X ", w);
        text += word;
    }
    text.pop_back();
    return text;
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

enum class Ending { Ok, Cancel, Refused };

}  // namespace

class KeyCodeDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void makeCodeOkCancelAndRefusal() {
        const struct {
            const char* protocol;
            int device, sub, function;
            Ending ending;
            const char* shown;  // the result before OK, or a word of the refusal's box
        } cases[] = {
            {"NEC", 4, 0, 8, Ending::Ok, "Decoded: NEC 4 / 8, carrier"},
            {"NEC extended", 4, 1, 8, Ending::Ok, "Decoded: NEC extended 4.1 / 8, carrier"},
            {"RC-5", 5, 0, 12, Ending::Ok, "Decoded: RC-5 5 / 12, carrier"},
            {"Sony SIRC-12", 1, 0, 21, Ending::Ok, "Decoded: Sony SIRC-12 1 / 21, carrier"},
            {"NEC", 4, 0, 8, Ending::Cancel, "Decoded: NEC 4 / 8, carrier"},
            // Numbers past what the protocol carries (the boxes' bounds
            // widened as a protocol whose bounds were wrong would have them).
            {"NEC", 4, 0, 300, Ending::Refused, "300"},
        };
        for (const auto& c : cases) {
            const QString name = QStringLiteral("%1 %2.%3 / %4").arg(c.protocol).arg(c.device).arg(c.sub).arg(c.function);
            Fixture f;
            f.Page()->MakeCodeButton()->click();
            TMakeCodeFm* fm = f.Page()->MakeDialog();
            QVERIFY2(fm && fm->isVisible(), qPrintable(name));
            QVERIFY(fm->isModal());
            const int at = fm->ProtocolBox()->findText(QString::fromLatin1(c.protocol));
            QVERIFY2(at >= 0, qPrintable(name));
            fm->ProtocolBox()->setCurrentIndex(at);
            QCOMPARE(fm->SubDeviceBox()->isEnabled(), QString::fromLatin1(c.protocol) == "NEC extended");
            QCOMPARE(fm->ToggleBox()->isEnabled(), QString::fromLatin1(c.protocol) == "RC-5");
            if (c.ending == Ending::Refused) fm->FunctionBox()->setRange(0, 100000);
            fm->DeviceBox()->setValue(c.device);
            if (fm->SubDeviceBox()->isEnabled()) fm->SubDeviceBox()->setValue(c.sub);
            fm->FunctionBox()->setValue(c.function);
            if (c.ending != Ending::Refused) {
                // The code is shown, read back, before OK.
                QVERIFY2(fm->ResultText()->text().startsWith(QString::fromLatin1(c.shown)),
                         qPrintable(fm->ResultText()->text()));
                QCOMPARE(fm->ResultText()->accessibleName(), fm->ResultText()->text());
                QVERIFY(fm->Chart()->PointCount() > 0);
            } else {
                QVERIFY(fm->ResultText()->text().startsWith(QStringLiteral("The remote cannot hold this code")));
                QCOMPARE(fm->Chart()->PointCount(), 0);
            }
            const size_t boxes = f.ui.Messages().size();
            if (c.ending == Ending::Cancel)
                QTest::mouseClick(fm->findChild<QPushButton*>(QStringLiteral("m_CancelBtn")), Qt::LeftButton);
            else
                QTest::mouseClick(fm->OkButton(), Qt::LeftButton);
            QCoreApplication::processEvents();
            if (c.ending == Ending::Ok) {
                QTRY_VERIFY(f.Page()->MakeDialog() == nullptr);
                const auto decoded = f.KeyDecoded();
                QVERIFY2(decoded, qPrintable(name));
                QCOMPARE(QString::fromStdString(IrProtocolName(*decoded)), QString::fromLatin1(c.protocol));
                QCOMPARE(int(decoded->device), c.device);
                QCOMPARE(int(decoded->function), c.function);
                QVERIFY(f.btn->KeyChangedAtOnce());
                QVERIFY(f.btn->StatusText().contains(QStringLiteral("stored as the key's code")));
                QCOMPARE(f.ui.Messages().size(), boxes);
                QVERIFY(f.btn->CodeChart()->scene() && f.btn->ProtocolText()->text().startsWith(c.protocol));
                continue;
            }
            QVERIFY2(f.KeyAsItWas(), qPrintable(name));
            if (c.ending == Ending::Cancel) {
                QTRY_VERIFY(f.Page()->MakeDialog() == nullptr);
                QCOMPARE(f.ui.Messages().size(), boxes);
            } else {
                // Refused: the box says why; the dialog stays for other numbers.
                QCOMPARE(f.ui.Messages().size(), boxes + 1);
                QCOMPARE(f.ui.Messages().back().icon, MsgIcon::Error);
                QVERIFY2(f.ui.Messages().back().text.find(c.shown) != std::string::npos,
                         f.ui.Messages().back().text.c_str());
                QVERIFY(f.Page()->MakeDialog() && f.Page()->MakeDialog()->isVisible());
                fm->m_CancelBtnClick();
                QVERIFY(f.KeyAsItWas());
            }
        }
        // Button Properties ended while the dialog is open (its Cancel, the
        // window closed): the dialog goes with it and its OK never comes.
        Fixture f;
        f.btn->m_MakeCodeBtnClick();
        QPointer<TMakeCodeFm> fm = f.Page()->MakeDialog();
        QVERIFY(fm && fm->Outcome().Ok());
        f.btn->m_CancelBtnClick();
        QTRY_VERIFY(!fm);
        QVERIFY(f.KeyAsItWas());
    }

    void importCodeOkCancelAndRefusal() {
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        // Three signals: two NEC codes and noise no learned form holds.
        std::string noise = "0000 006D 0020 0000";
        for (int i = 0; i < 32; ++i) {
            char words[16];
            std::snprintf(words, sizeof words, " %04X %04X", 0x10 + i * 7, 0x11 + i * 13);
            noise += words;
        }
        WriteText(folder / "amp.txt", "Power: " + NecPronto(0x12, 0x34) + "\nVol_up: " + NecPronto(0x12, 0x35) +
                                          "\nStatic: " + noise + "\n");
        WriteText(folder / "broken.conf", "begin remote\n  name amp\n  bits 16\n  flags SPACE_ENC\n  header 9000\n");
        const struct {
            const char* file;
            int row;
            Ending ending;
            int function;  // Ok: the key's NEC function afterwards
        } cases[] = {
            {"amp.txt", 1, Ending::Ok, 0x35},
            {"amp.txt", 0, Ending::Ok, 0x34},
            {"amp.txt", 0, Ending::Cancel, 0},
            {"amp.txt", 2, Ending::Refused, 0},
            {"broken.conf", -1, Ending::Refused, 0},
            {"missing.ir", -1, Ending::Refused, 0},
        };
        for (const auto& c : cases) {
            const QString name = QStringLiteral("%1 row %2").arg(c.file).arg(c.row);
            Fixture f;
            f.ui.ChooseNext((folder / c.file).string());
            f.Page()->ImportCodeButton()->click();
            QCOMPARE(f.ui.Dialogs().back().mode, FileDialogRequest::Mode::Open);
            TImportCodeFm* fm = f.Page()->ImportDialog();
            if (c.row < 0) {
                // An unreadable file: the box names it, no list opens.
                QVERIFY2(!fm, qPrintable(name));
                QCOMPARE(f.ui.Messages().size(), size_t(1));
                QCOMPARE(f.ui.Messages().back().icon, MsgIcon::Error);
                QVERIFY2(f.ui.Messages().back().text.find(c.file) != std::string::npos,
                         f.ui.Messages().back().text.c_str());
                QVERIFY(f.KeyAsItWas());
                continue;
            }
            QVERIFY2(fm && fm->isVisible(), qPrintable(name));
            QTableWidget* grid = fm->SignalGrid();
            QCOMPARE(grid->rowCount(), 3);
            QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("Power"));
            QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("Vol_up"));
            QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("NEC 18 / 52"));
            QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("NEC 18 / 53"));
            QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("unknown"));
            grid->setCurrentCell(c.row, 0);
            if (c.ending == Ending::Cancel) {
                fm->m_CancelBtnClick();
                QTRY_VERIFY(f.Page()->ImportDialog() == nullptr);
                QVERIFY(f.KeyAsItWas());
                QVERIFY(f.ui.Messages().empty());
                continue;
            }
            QTest::mouseClick(fm->OkButton(), Qt::LeftButton);
            QCoreApplication::processEvents();
            if (c.ending == Ending::Refused) {
                QCOMPARE(f.ui.Messages().size(), size_t(1));
                QVERIFY(f.ui.Messages().back().text.find("more than 15 different bursts") != std::string::npos);
                QVERIFY(f.Page()->ImportDialog());
                QVERIFY(f.KeyAsItWas());
                fm->m_CancelBtnClick();
                continue;
            }
            QTRY_VERIFY(f.Page()->ImportDialog() == nullptr);
            const auto decoded = f.KeyDecoded();
            QVERIFY2(decoded && decoded->kind == IrProtocolKind::Nec && decoded->device == 0x12, qPrintable(name));
            QCOMPARE(int(decoded->function), c.function);
            QVERIFY(f.ui.Messages().empty());
        }
    }

    void exportCodeWritesTheChosenFormat() {
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        const struct {
            const char* file;
            bool written;
            const char* holds;  // a line only its format has
        } cases[] = {
            {"mute.ir", true, "Filetype: IR signals file"},
            {"lircd.conf", true, "begin remote"},
            {"mute.txt", true, "Mute: 0000 "},
            {"mute.sbin", false, nullptr},
            {"no-such-folder/mute.ir", false, nullptr},
        };
        for (const auto& c : cases) {
            Fixture f;
            // First a key with no code: nothing to export, no dialog.
            LayoutKey none = f.key;
            none.info.codeBlockCount = 0xFF;
            KeyEditContext ctx;
            ctx.device = kTv;
            QVERIFY(f.btn->OpenKey(none, ctx));
            f.Page()->ExportCodeButton()->click();
            QVERIFY(f.ui.Dialogs().empty());
            QVERIFY(f.btn->StatusText().contains(QStringLiteral("no IR code to export")));
            // Then one holding NEC 0x20 / 0x41.
            f.ui.ChooseNext((folder / c.file).string());
            IrSignal made;
            std::string error;
            KeyCodeCandidate candidate;
            QVERIFY(ParsePronto(NecPronto(0x20, 0x41), made.code, error));
            QVERIFY(CodeFromSignal(made, f.key.info, candidate).Ok());
            LayoutKey coded = f.key;
            IrCodeInfo stored;
            QVERIFY(StoreLearnedCode(candidate.learned, coded.info, stored));
            QVERIFY(f.btn->OpenKey(coded, ctx));
            f.Page()->ExportCodeButton()->click();
            const FileDialogRequest& asked = f.ui.Dialogs().back();
            QCOMPARE(asked.mode, FileDialogRequest::Mode::Save);
            QCOMPARE(asked.proposedName, std::string("Mute.ir"));
            QVERIFY(asked.confirmOverwrite);
            const fs::path path = folder / c.file;
            if (!c.written) {
                QVERIFY2(!fs::exists(path), c.file);
                QCOMPARE(f.ui.Messages().back().icon, MsgIcon::Error);
                continue;
            }
            QVERIFY2(f.ui.Messages().empty(), f.ui.Messages().empty() ? "" : f.ui.Messages().back().text.c_str());
            std::ifstream in(path, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            QVERIFY2(text.find(c.holds) != std::string::npos, text.c_str());
            std::vector<IrSignal> back;
            QVERIFY2(ReadIrSignalFile(path.string(), back, error), error.c_str());
            QCOMPARE(back.size(), size_t(1));
            QCOMPARE(back[0].name, std::string("Mute"));
            const auto decoded = SignalProtocol(back[0]);
            QVERIFY2(decoded && *decoded == (IrDecoded{IrProtocolKind::Nec, 0x20, std::nullopt, 0x41, 0}), c.file);
            std::remove(path.c_str());
        }
    }
};

QTEST_MAIN(KeyCodeDialogTest)
#include "KeyCodeDialogTest.moc"
