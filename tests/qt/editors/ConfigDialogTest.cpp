// The remote settings dialog on the offscreen platform: the controls and
// their ranges, OK and Cancel, the slider hints, the welcome picture from a
// file to the image and back, and the service phrase.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "editors/Configut.h"
#include "image/LcdBitmaps.h"
#include "image/Settings.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;

namespace {

struct Dialog {
    ScriptedUiServices ui;
    TTiFlashFm flash;
    int extras = 0;
    std::unique_ptr<TConfigFm> dialog;

    Dialog() { Reopen(); }
    void Reopen() {
        RemoteSettings values;
        if (!ReadSettings(flash, values)) values = DefaultSettings();
        dialog = std::make_unique<TConfigFm>(flash, ui, [this] { ++extras; });
        dialog->Load(values);
    }
};

QStringList Texts(const ScriptedUiServices& ui) {
    QStringList out;
    for (const auto& t : ui.MessageTexts()) out << QString::fromStdString(t);
    return out;
}

// A colour picture of the welcome picture's size: four grey-level bands
// from left to right (dark to light), a red square and a transparent corner.
QImage ColourPicture() {
    QImage img(kLcdWidth, kLcdHeight, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const int bands[] = {20, 90, 150, 230};
    for (int i = 0; i < 4; ++i) p.fillRect(i * 26, 0, 26, 120, QColor(bands[i], bands[i], bands[i]));
    p.fillRect(10, 125, 30, 30, QColor(255, 0, 0));  // grey level 76
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(80, 130, 24, 30, Qt::transparent);
    return img;
}

}  // namespace

class ConfigDialogTest : public QObject {
    Q_OBJECT

private slots:
    void controlsCarryTheRangesOfTheSettings() {
        Dialog d;
        TConfigFm& c = *d.dialog;
        QCOMPARE(c.windowTitle(), QStringLiteral("Remote Config"));
        QCOMPARE(c.BuzzerBox()->count(), 4);
        QCOMPARE(c.BuzzerBox()->itemText(3), QStringLiteral("Large"));
        QCOMPARE(c.MotionBox()->itemText(3), QStringLiteral("Fast"));
        const std::tuple<QSlider*, int, int, int> sliders[] = {{c.ContrastBar(), 14, 42, 4},
                                                               {c.LcdOffBar(), 0, 600, 20},
                                                               {c.LitBar(), 0, 100, 5},
                                                               {c.LightBar(), 0, 60, 5}};
        for (const auto& [slider, low, high, tick] : sliders) {
            QCOMPARE(slider->minimum(), low);
            QCOMPARE(slider->maximum(), high);
            QCOMPARE(slider->tickInterval(), tick);
        }
        QCOMPARE(c.WelcomeBox()->text(), QStringLiteral("Welcome page"));
        QVERIFY(c.DateTimePanel()->isHidden());
        QVERIFY(c.SaveRealPictureButton()->isHidden());
        QCOMPARE(c.PhraseBox()->echoMode(), QLineEdit::Password);
        QVERIFY(!c.PhraseBox()->hasFrame());
        // A fresh image holds no settings: the defaults.
        QCOMPARE(c.Collect(), DefaultSettings());
        QCOMPARE(c.Collect(), (RemoteSettings{2, 28, 180, 30, 6, 2, 1}));
    }

    void okStaysOffUntilAChangeAndWritesOnlyOnOk() {
        Dialog d;
        TConfigFm& c = *d.dialog;
        QVERIFY(!c.OkButton()->isEnabled());
        c.LcdOffBar()->setValue(600);
        QVERIFY(c.OkButton()->isEnabled());
        c.m_CancelBtnClick();
        RemoteSettings stored;
        QVERIFY(!ReadSettings(d.flash, stored));  // Cancel wrote nothing
        QVERIFY(!c.ImageChanged());

        d.Reopen();
        d.dialog->LcdOffBar()->setValue(600);
        d.dialog->BuzzerBox()->setCurrentIndex(0);
        d.dialog->WelcomeBox()->setChecked(false);
        QTest::mouseClick(d.dialog->OkButton(), Qt::LeftButton);
        QVERIFY(d.dialog->SettingsWritten());
        QVERIFY(ReadSettings(d.flash, stored));
        QCOMPARE(stored, (RemoteSettings{0, 28, 600, 30, 6, 2, 0}));
        // Opened again, 600 shows as 600.
        d.Reopen();
        QCOMPARE(d.dialog->LcdOffBar()->value(), 600);
        QCOMPARE(d.dialog->LcdOffBar()->toolTip(), QStringLiteral("600 /sec"));
    }

    void anOutOfRangeByteOpensWithEveryDefault() {
        Dialog d;
        QVERIFY(WriteSettings(d.flash, {1, 20, 30, 40, 50, 1, 0}));
        d.flash.Image()[d.flash.SettingsPageStart() + 38] = 43;  // contrast
        d.Reopen();
        QCOMPARE(d.dialog->Collect(), DefaultSettings());
        QCOMPARE(d.dialog->ContrastBar()->value(), 28);
    }

    void sliderHints() {
        QCOMPARE(SliderHintText(kSettingContrast, 30), std::string("30"));
        QCOMPARE(SliderHintText(kSettingLightSensitivity, 0), std::string("Off"));
        QCOMPARE(SliderHintText(kSettingLightSensitivity, 55), std::string("55"));
        QCOMPARE(SliderHintText(kSettingLcdOff, 0), std::string("Off"));
        QCOMPARE(SliderHintText(kSettingLcdOff, 20), std::string("20 /sec"));
        QCOMPARE(SliderHintText(kSettingLightPeriod, 60), std::string("60 /sec"));
        Dialog d;
        d.dialog->LightBar()->setValue(0);
        QCOMPARE(d.dialog->LightBar()->toolTip(), QStringLiteral("Off"));
        d.dialog->LitBar()->setValue(5);
        QCOMPARE(d.dialog->LitBar()->toolTip(), QStringLiteral("5"));
    }

    void aColourPictureIsReducedPackedAndReadBackPixelForPixel() {
        Dialog d;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("welcome.png"));
        QVERIFY(ColourPicture().save(file));
        d.ui.ChooseNext(file.toStdString());
        d.dialog->m_LoadPicBtnClick();
        QCOMPARE(d.ui.Dialogs().size(), size_t(1));
        QVERIFY(QString::fromStdString(d.ui.Dialogs()[0].filter).contains(QStringLiteral("*.png")));
        QVERIFY(d.dialog->SavePictureButton()->styleSheet().contains(QStringLiteral("red")));

        // Threshold 128: the two dark bands and the red square are black.
        const QImage& preview = d.dialog->Preview();
        QCOMPARE(preview.size(), QSize(kLcdWidth, kLcdHeight));
        QCOMPARE(preview.pixelColor(5, 50), QColor(Qt::black));
        QCOMPARE(preview.pixelColor(30, 50), QColor(Qt::black));
        QCOMPARE(preview.pixelColor(60, 50), QColor(Qt::white));
        QCOMPARE(preview.pixelColor(90, 50), QColor(Qt::white));
        QCOMPARE(preview.pixelColor(20, 140), QColor(Qt::black));
        QCOMPARE(preview.pixelColor(100, 150), QColor(Qt::white));  // transparent is paper
        // The user moves the threshold and sees it: the 90 band turns white.
        d.dialog->ThresholdBar()->setValue(60);
        QCOMPARE(d.dialog->Preview().pixelColor(30, 50), QColor(Qt::white));
        QCOMPARE(d.dialog->Preview().pixelColor(5, 50), QColor(Qt::black));
        d.dialog->ThresholdBar()->setValue(200);
        QCOMPARE(d.dialog->Preview().pixelColor(60, 50), QColor(Qt::black));
        const QImage shown = d.dialog->Preview();

        d.dialog->m_SavePicBtnClick();
        QCOMPARE(Texts(d.ui), QStringList{QStringLiteral("Save Customs picture Ok!")});
        QVERIFY(d.dialog->SavePictureButton()->styleSheet().contains(QStringLiteral("blue")));
        QVERIFY(d.dialog->OkButton()->isEnabled());
        PictureBytes stored;
        QVERIFY(ReadPicture(d.flash, kWelcomeSystem, stored));
        const Bitmap back = DrawPicture(stored);
        int black = 0;
        for (int y = 0; y < kLcdHeight; ++y)
            for (int x = 0; x < kLcdWidth; ++x) {
                const bool ink = shown.pixelColor(x, y) == QColor(Qt::black);
                QCOMPARE(back.At(x, y), ink ? kRgbBlack : kRgbWhite);
                // The stored bit of pixel (x, y) is bit x mod 8 of byte (x / 8) x 160 + y.
                QCOMPARE(bool(stored[size_t(x / 8 * 160 + y)] >> (x % 8) & 1), ink);
                black += ink;
            }
        QVERIFY(black > 1000);

        // Cancel after the save keeps the picture; the next opening shows it.
        d.dialog->m_CancelBtnClick();
        QVERIFY(d.dialog->PictureWritten() && !d.dialog->SettingsWritten());
        d.Reopen();
        QCOMPARE(d.dialog->Preview().convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));
    }

    void aLargePictureIsFittedAndABrokenFileChangesNothing() {
        Dialog d;
        QTemporaryDir dir;
        QImage wide(416, 320, QImage::Format_RGB32);  // twice as wide as it fits
        wide.fill(Qt::black);
        const QString file = dir.filePath(QStringLiteral("wide.bmp"));
        QVERIFY(wide.save(file));
        QVERIFY(d.dialog->LoadPictureFile(file.toStdString()));
        // Fitted to 104 x 80 in the middle; white above and below.
        QCOMPARE(d.dialog->Preview().pixelColor(50, 10), QColor(Qt::white));
        QCOMPARE(d.dialog->Preview().pixelColor(50, 80), QColor(Qt::black));
        const QImage before = d.dialog->Preview();

        const std::string broken = dir.filePath(QStringLiteral("broken.png")).toStdString();
        std::ofstream(broken) << "not a picture";
        QVERIFY(!d.dialog->LoadPictureFile(broken));
        QCOMPARE(d.ui.Messages().size(), size_t(1));
        QCOMPARE(int(d.ui.Messages()[0].icon), int(MsgIcon::Error));
        QVERIFY(Texts(d.ui)[0].contains(QString::fromStdString(broken)));
        QCOMPARE(d.dialog->Preview(), before);
    }

    void theServicePhraseRevealsTheExtrasOnTheNextKey() {
        Dialog d;
        d.dialog->show();
        QLineEdit* box = d.dialog->PhraseBox();
        QTest::keyClicks(box, QStringLiteral("show extras"));
        QCOMPARE(d.extras, 0);  // the phrase is complete only when the next key comes
        QVERIFY(d.dialog->SaveRealPictureButton()->isHidden());
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(d.extras, 1);
        QVERIFY(!d.dialog->SaveRealPictureButton()->isHidden());
        QCOMPARE(d.dialog->SaveRealPictureButton()->text(), QStringLiteral("Save picture for real system "));

        // Case counts.
        Dialog e;
        QTest::keyClicks(e.dialog->PhraseBox(), QStringLiteral("Show extras"));
        QTest::keyClick(e.dialog->PhraseBox(), Qt::Key_Return);
        QCOMPARE(e.extras, 0);

        // The second slot takes the picture for the real system.
        d.dialog->m_SaveRealPicBtnClick();
        PictureBytes stored;
        QVERIFY(ReadPicture(d.flash, kWelcomeReal, stored));
        QCOMPARE(Texts(d.ui).last(), QStringLiteral("Save Customs picture Ok!"));
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "ConfigDialogTest.moc"
