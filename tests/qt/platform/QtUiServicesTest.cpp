// The message boxes of QtUiServices as the window system shows them: a box
// is wide enough for its caption to stand whole in the title bar.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <string>

#include "platform/qt/QtUiServices.h"

using namespace orvalink;

class QtUiServicesTest : public QObject {
    Q_OBJECT

private slots:
    // A title bar like the window manager's: the caption in a bold face,
    // beside the window's icon and three buttons about as wide as the bar is
    // high. The box is at least that wide, whatever its text, and never
    // wider than the screen.
    void aMessageBoxIsAsWideAsItsCaption() {
        struct Row {
            const char* caption;  // "" takes the program's title
            const char* text;
        };
        const QString title = QStringLiteral("My Orvalink Program!");
        const QString longCaption = QString(QStringLiteral("A caption far too long for any screen ")).repeated(12);
        const Row rows[] = {
            {"", "Ok !"},
            {"TAVERO Orvalink QM-5100 ", "Download Flash Data Ok !"},
            {"Orvalink ", "\n Save Changes to /home/someone/Documents/remote.vmcf ?"},
            {"x", "Device save Ok !"},
            {nullptr, "Ok !"},  // the long caption
        };
        QtUiServices ui(nullptr, title);
        for (const Row& row : rows) {
            const QString caption = !row.caption ? longCaption : *row.caption ? QString::fromLatin1(row.caption) : title;
            int width = -1;
            QString shownTitle;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                width = box->width();
                shownTitle = box->windowTitle();
                box->buttons().front()->click();
            });
            MessageRequest request{row.text, row.caption ? std::string(row.caption) : longCaption.toStdString(),
                                   MsgIcon::Information, MsgButtons::Ok};
            ui.ShowMessage(request);
            QCOMPARE(shownTitle, caption);

            QFont font = QApplication::font("QMdiSubWindowTitleBar");
            font.setBold(true);
            const QFontMetrics bold(font);
            const int screen = QApplication::primaryScreen()->availableGeometry().width();
            const int need = std::min(bold.horizontalAdvance(caption) + 4 * bold.height(), screen * 9 / 10);
            QVERIFY2(width >= need, qPrintable(QStringLiteral("%1: %2 < %3").arg(caption.left(30)).arg(width).arg(need)));
            QVERIFY2(width <= screen, qPrintable(caption.left(30)));
        }
    }
};

QTEST_MAIN(QtUiServicesTest)
#include "QtUiServicesTest.moc"
