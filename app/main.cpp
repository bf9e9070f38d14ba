// The orvalink program: one instance, splash and model picker, then the main
// window with the start dialog over it.
//
//   orvalink [--screenshot FILE]
//   orvalink --help | --version
//
// With --screenshot the program starts as if the remembered choice were the
// QM-5100, lets the start dialog load the factory document, writes a picture
// of the main window to FILE and ends.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/Startup.h"
#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/qt/QtShellOpener.h"
#include "platform/qt/QtUiServices.h"
#include "platform/qt/SingleInstance.h"

using namespace orvalink;

namespace {
const char kApplicationTitle[] = "My Orvalink Program!";

const char kUsage[] =
    "usage: orvalink [--screenshot FILE]\n"
    "       orvalink --help | --version\n"
    "\n"
    "Runs in the current folder as its program folder: bk/default_.vmcf, model.dll,\n"
    "dev_model.dll, type.ini and gird_RL_2.bmp are read there, documents go to mcf/.\n"
    "\n"
    "  --screenshot FILE  start with the QM-5100, load the factory document, save a\n"
    "                     picture of the main window to FILE (PNG) and end\n"
    "  --help             this text\n"
    "  --version          the version\n";
}

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orvalink %s\n", ORVALINK_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Orvalink"));
    // No display name: Qt would add it to every window's caption, and each
    // window shows exactly its own.

    QString screenshot;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--screenshot") && i + 1 < args.size()) {
            screenshot = args[++i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    SingleInstance single(QString::fromUtf8(kApplicationTitle));
    if (screenshot.isEmpty()) {
        if (single.AnotherInstanceRuns()) return 0;
        single.Listen();
    }

    const std::filesystem::path programFolder = std::filesystem::current_path();
    QtUiServices ui(nullptr, QString::fromUtf8(kApplicationTitle));

    StartupChoice choice;
    if (screenshot.isEmpty()) {
        choice = RunSplashAndPicker(programFolder, ui);
    } else {
        choice.go = choice.accepted = true;
        choice.modelWord = kMainModelWord;
        choice.familyCode = kMainFamilyCode;
    }
    if (!choice.accepted) return 0;

    SystemClock clock;
    Pcg32Random random;
    TTiFlashFm flash;
    VFileCommands files(ui, clock, random, programFolder, flash);
    QtShellOpener shell;
    AppServices services{programFolder, ui, clock, random, flash, files, nullptr, nullptr, &shell};
    ProgramWindows windows = CreateProgramWindows(services, clock, choice);
    ui.SetParent(windows.main.get());
    QObject::connect(&single, &SingleInstance::Activated, windows.main.get(), [&] {
        TMainFm* m = windows.main.get();
        if (m->isMinimized()) m->showNormal();
        m->raise();
        m->activateWindow();
    });
    windows.main->show();
    windows.doYouKnow->Start();

    if (!screenshot.isEmpty()) {
        QObject::connect(windows.doYouKnow.get(), &TDoYouKnowFm::Started, &app, [&] {
            QTimer::singleShot(500, &app, [&] {
                const bool saved = windows.main->grab().save(screenshot, "PNG");
                std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "screenshot:" : "cannot write",
                             qPrintable(screenshot));
                app.exit(saved ? 0 : 1);
            });
        });
        QTimer::singleShot(1500, &app, [&] { windows.doYouKnow->m_YesBtnClick(); });
        // However the start goes, the run ends.
        QTimer::singleShot(30000, &app, [&] {
            std::fprintf(stderr, "the start dialog did not load the factory document\n");
            app.exit(1);
        });
    }
    return app.exec();
}
