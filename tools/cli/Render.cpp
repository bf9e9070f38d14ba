// liborvalink_render: the drawing of orvalink-cli render, a device's eight
// LCD pages and its hard keys as the layout editor shows them (twice the
// remote's size), side by side, as PNG bytes. The command line loads it only
// when render runs, so no other command loads the Qt libraries.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "image/DeviceTree.h"
#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"
#include "tools/cli/RenderPlugin.h"
#include "tools/cli/TemporaryFolder.h"

namespace orvalink {
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

// The toolkit asks for the user's runtime folder as it starts (to see
// whether it runs in a sandbox) and, when XDG_RUNTIME_DIR is unset, warns
// and makes one in TMPDIR that stays behind. A drawing in memory needs none:
// it is given an empty folder of our own for its start, removed again.
class RuntimeFolderForStart {
public:
    RuntimeFolderForStart() {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || !folder_.IsValid()) return;
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder_.Path()));
        set_ = true;
    }
    ~RuntimeFolderForStart() {
        if (set_) qunsetenv("XDG_RUNTIME_DIR");
    }
    RuntimeFolderForStart(const RuntimeFolderForStart&) = delete;
    RuntimeFolderForStart& operator=(const RuntimeFolderForStart&) = delete;

private:
    TemporaryFolder folder_;
    bool set_ = false;
};

bool RenderSheet(const TTiFlashFm& flash, int slot, QByteArray& png) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "orvalink-cli";
    char* argv[] = {name, nullptr};
    RuntimeFolderForStart runtime;
    QGuiApplication app(argc, argv);

    const int panels = 9;  // pages 1..8, then the hard keys
    QImage sheet(panels * kPanelWidth + (panels + 1) * kGap, kPanelHeight + 2 * kGap + kCaption, QImage::Format_RGB32);
    sheet.fill(QColor(200, 200, 200));
    QPainter sheetPainter(&sheet);
    const std::vector<uint8_t> title = TitleOf(flash, slot);
    for (int panel = 0; panel < panels; ++panel) {
        QImage lcd(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
        lcd.fill(Qt::white);
        if (panel < 8) DrawTitle(flash, title, kStateNormal, lcd);
        QPainter p(&lcd);
        for (int k = 0; k < kKeysPerDevice; ++k) {
            KeyInfo key;
            if (!ReadKey(flash, slot, k, key)) continue;
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
    // Encoded in memory; the command line saves it as every file is saved.
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !sheet.save(&buffer, "PNG")) return false;
    buffer.close();
    return true;
}

}  // namespace
}  // namespace orvalink

extern "C" ORVALINK_RENDER_EXPORT int orvalink_render_png(const uint8_t* image, size_t imageSize, int slot,
                                                          uint8_t** png, size_t* pngSize) {
    using namespace orvalink;
    if (!image || !png || !pngSize || slot < 0 || slot > kMacroSlot) return 1;
    *png = nullptr;
    *pngSize = 0;
    TTiFlashFm flash;
    auto target = flash.Image();
    std::memcpy(target.data(), image, std::min(imageSize, target.size()));
    QByteArray bytes;
    if (!RenderSheet(flash, slot, bytes)) return 1;
    auto* out = static_cast<uint8_t*>(std::malloc(size_t(bytes.size())));
    if (!out) return 1;
    std::memcpy(out, bytes.constData(), size_t(bytes.size()));
    *png = out;
    *pngSize = size_t(bytes.size());
    return 0;
}
