// orvalink-cli render: a device's eight LCD pages and its hard keys as the
// layout editor shows them (twice the remote's size), side by side.
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/cli/CliCommands.h"

#if defined(ORVALINK_CLI_RENDER)
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "formats/FileIo.h"
#include "formats/Flashut.h"

#include "image/DeviceTree.h"
#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"
#endif

namespace orvalink {

#if defined(ORVALINK_CLI_RENDER)

bool CanRender() { return true; }

namespace {

constexpr int kPanelWidth = 208;   // 104 remote pixels, twice
constexpr int kPanelHeight = 320;  // 160 remote pixels, twice
constexpr int kGap = 12;
constexpr int kCaption = 22;

// The Device key that names a slot (Home and Macro name themselves).
std::vector<uint8_t> TitleOf(const TTiFlashFm& flash, int slot) {
    std::string text = slot == kHomeSlot ? "Home" : slot == kMacroSlot ? "Macro" : "";
    for (const DeviceTreeNode& node : BuildDeviceTree(flash))
        if (node.key.link == slot) return std::vector<uint8_t>(node.key.label.begin(), node.key.label.end());
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

int RenderCommand(const std::string& path, const std::string& slotText, const std::string& out) {
    char* end = nullptr;
    long slot = std::strtol(slotText.c_str(), &end, 10);
    if (slotText.empty() || *end != '\0' || slot < 0 || slot > kMacroSlot) {
        std::cerr << "orvalink-cli: SLOT is a device slot, 0 to 65\n";
        return 2;
    }
    if (IsSameFile(PathFromUtf8(path), PathFromUtf8(out))) {
        std::cerr << "orvalink-cli: " << SameFileText(path, out) << "\n";
        return 2;
    }
    TTiFlashFm flash;
    if (!LoadDocumentImage(path, flash)) return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "orvalink-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const int panels = 9;  // pages 1..8, then the hard keys
    QImage sheet(panels * kPanelWidth + (panels + 1) * kGap, kPanelHeight + 2 * kGap + kCaption, QImage::Format_RGB32);
    sheet.fill(QColor(200, 200, 200));
    QPainter sheetPainter(&sheet);
    const std::vector<uint8_t> title = TitleOf(flash, int(slot));
    for (int panel = 0; panel < panels; ++panel) {
        QImage lcd(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
        lcd.fill(Qt::white);
        if (panel < 8) DrawTitle(flash, title, kStateNormal, lcd);
        QPainter p(&lcd);
        for (int k = 0; k < kKeysPerDevice; ++k) {
            KeyInfo key;
            if (!ReadKey(flash, int(slot), k, key)) continue;
            const bool hard = key.page == kHardKeyPage;
            if ((panel == 8) != hard || (!hard && key.page != panel)) continue;
            QImage picture;
            DrawKey(flash, key, kStateNormal, picture);
            const EditorRect r = KeyRect(key);
            p.drawImage(r.left, r.top, picture);
        }
        p.end();
        const int x = kGap + panel * (kPanelWidth + kGap);
        sheetPainter.drawImage(x, kGap, lcd);
        sheetPainter.setPen(Qt::black);
        sheetPainter.drawText(QRect(x, kGap + kPanelHeight, kPanelWidth, kCaption), Qt::AlignCenter,
                              panel < 8 ? QStringLiteral("Page %1").arg(panel + 1) : QStringLiteral("Hard keys"));
    }
    sheetPainter.end();
    // Encoded in memory, then saved as every file is: complete or not at all.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !sheet.save(&buffer, "PNG"))
        return WriteError(out, "the picture cannot be encoded");
    buffer.close();
    std::string why;
    const auto* bytes = reinterpret_cast<const uint8_t*>(png.constData());
    if (!ReplaceFileBytes(PathFromUtf8(out), std::span<const uint8_t>(bytes, size_t(png.size())), &why))
        return WriteError(out, why);
    std::cout << "picture: " << out << "\n";
    return 0;
}

#else

bool CanRender() { return false; }

int RenderCommand(const std::string&, const std::string&, const std::string&) {
    std::cerr << "orvalink-cli: this build has no drawing library (render needs Qt)\n";
    return 1;
}

#endif

}  // namespace orvalink
