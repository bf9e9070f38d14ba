#include "image/qt/KeyDrawing.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <vector>

#include "image/CodeRecords.h"
#include "image/KeyGeometry.h"
#include "image/LabelLayout.h"

namespace orvalink {

namespace {

constexpr int kLabelZoom = 2;
constexpr int kMacroLabelShift = 14;  // the label of a macro key sits right of its mark column
constexpr int kTitleWidth = 55;       // remote pixels
constexpr int kTitleHeight = 20;
constexpr int kTitleLeft = 49;        // editor pixels
constexpr int kTitleTop = 3;
constexpr int kMaxDrawnMacroBlocks = 24;
constexpr int kMaxMarkedMacroSteps = 63;
// "Arial Black" size 16 at the 96 dots per inch the editors are laid out for.
constexpr int kMacroMarkPixels = 21;

bool Paintable(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied: return true;
        default: return false;
    }
}

// What the frame of one key needs to know.
struct FrameJob {
    const TTiFlashFm& flash;
    const KeyInfo& key;
    KeyCells cells;
    int width;   // the picture, editor pixels
    int height;
    bool sameColours;  // the state's label background and frame colours are equal
};

// A rounded rectangle given by its corners and the size of its corner
// ellipse, as the frame table gives them.
void RoundRect(QPainter& p, int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight) {
    p.drawRoundedRect(QRectF(x1, y1, x2 - x1, y2 - y1), cornerWidth / 2.0, cornerHeight / 2.0, Qt::AbsoluteSize);
}

void Line(QPainter& p, int x1, int y1, int x2, int y2) { p.drawLine(QPoint(x1, y1), QPoint(x2, y2)); }

// The step mark and the timer clock of a macro key, from its macro record.
void DrawMacroMarks(QPainter& p, const FrameJob& job, const QColor& colour) {
    std::vector<uint8_t> record;
    if (!ReadCodeRaw(job.flash, job.key.ownerDevice, job.key.keyNumber, record) || record.size() < 8) return;
    const int blocks = record[0];
    if (blocks <= 1 || blocks > kMaxDrawnMacroBlocks) return;
    const int steps = record[7];
    const int timerKind = record[2];
    if (steps >= 1 && steps <= kMaxMarkedMacroSteps) {
        QFont font(QStringLiteral("Arial Black"));
        font.setPixelSize(kMacroMarkPixels);
        font.setWeight(QFont::Black);
        p.save();
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QRect(4, 1, 25, job.height - 1), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("M"));
        p.restore();
    }
    if (timerKind != 0) {
        // A clock face of 22 x 22 pixels centred on (14, 41) with its two hands.
        p.drawEllipse(QRectF(3, 30, 22, 22));
        Line(p, 14, 41, 14, 33);
        Line(p, 14, 41, 7, 41);
    }
}

// One pass of a key's frame in `colour`.
void DrawFrame(QPainter& p, const FrameJob& job, const QColor& colour) {
    const int w = job.width;
    const int h = job.height;
    p.save();
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(job.sameColours ? QBrush(colour) : QBrush(Qt::NoBrush));
    switch (job.key.keyType) {
        case kKeyIrCode:
            if (job.key.flags & kFlagRectangle)
                RoundRect(p, 1, 1, w - 2, h - 2, 11, 11);
            else
                RoundRect(p, 1, job.cells.height * 14 - 22, w - 2, job.cells.height * 14 + 22, 45, 35);
            break;
        case kKeyDevice:
            p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            RoundRect(p, 1, 1, w - 4, h - 4, 40, 30);
            break;
        case kKeyMacro:
            if (job.key.ownerDevice == kMacroSlot) {
                DrawMacroMarks(p, job, colour);
                RoundRect(p, 29, 1, w - 2, h - 2, 11, 11);
            } else {
                Line(p, 1, 7, 7, 1);
                Line(p, 1, 9, 9, 1);
                RoundRect(p, 1, 1, w - 2, h - 2, 11, 11);
            }
            break;
        case kKeyCycle:
            if (job.sameColours) {
                RoundRect(p, 4, 2, w - 8, h - 4, 20, 20);
            } else {
                Line(p, 4, 6, 0, 13);
                Line(p, w - 8, h - 8, w - 4, h - 15);
                Line(p, 8, 2, w - 13, 2);
                Line(p, 8, h - 3, w - 14, h - 3);
                Line(p, 4, 8, 4, h - 8);
                Line(p, w - 7, 8, w - 7, h - 8);
                Line(p, w - 13, 2, w - 7, 8);
                Line(p, 4, h - 8, 9, h - 3);
            }
            break;
        default:  // Label keys and unknown types have no frame of their own
            break;
    }
    p.restore();
}

}  // namespace

QColor ToQColor(Rgb rgb) { return QColor(QRgb(0xFF000000u | (rgb & 0xFFFFFFu))); }

Rgb ToRgb(const QColor& colour) { return Rgb(colour.rgb() & 0xFFFFFFu); }

QImage ToQImage(const Bitmap& bitmap) {
    if (bitmap.Empty()) return QImage();
    QImage image(bitmap.width, bitmap.height, QImage::Format_RGB32);
    for (int y = 0; y < bitmap.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.width; ++x) line[x] = 0xFF000000u | bitmap.At(x, y);
    }
    return image;
}

Bitmap FromQImage(const QImage& image) {
    if (image.isNull()) return Bitmap();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Bitmap b(rgb.width(), rgb.height(), kRgbWhite);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) b.Set(x, y, line[x] & 0xFFFFFFu);
    }
    return b;
}

bool DrawLabel(const TTiFlashFm& flash, std::span<const uint8_t> label, int widthCells, int heightCells,
               uint8_t flags, uint8_t /*keyType*/, QColor ink, QColor background, QImage& out) {
    if (widthCells < 1 || widthCells > kGridColumns || heightCells < 1 || heightCells > kGridRows) {
        out = QImage();
        return false;
    }
    const LabelArea area = LabelAreaOf(widthCells, heightCells, flags);
    Bitmap bitmap;
    const bool laidOut =
        DrawLabelBitmap(flash, label, area.width, area.height, ToRgb(ink), ToRgb(background), bitmap);
    out = ToQImage(bitmap);
    return laidOut;
}

bool Zoom(const QImage& image, int factor, QImage& out) {
    if (factor < 1 || factor > 10) return false;
    if (image.isNull()) {
        out = QImage();
        return true;
    }
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage src = image.convertToFormat(format);
    QImage z(src.width() * factor, src.height() * factor, format);
    for (int y = 0; y < z.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(z.scanLine(y));
        for (int x = 0; x < z.width(); ++x) to[x] = from[x / factor];
    }
    out = std::move(z);
    return true;
}

bool DrawKey(const TTiFlashFm& flash, const KeyInfo& key, int state, QImage& picture) {
    const EditorRect rect = KeyRect(key);
    const KeyCells cells = KeyDrawCells(key);
    if (picture.size() != QSize(rect.width, rect.height) || !Paintable(picture)) {
        picture = QImage(rect.width, rect.height, QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    const StateColours colours = StateColoursOf(state);
    const bool onMacroDevice = key.ownerDevice == kMacroSlot;
    const bool framed = onMacroDevice || key.keyType != kKeyLabel || (key.flags & (kFlagAlignRight | kFlagHasCode));
    const FrameJob job{flash, key, cells, rect.width, rect.height, colours.background == colours.frame};

    QPainter p(&picture);
    if (framed) DrawFrame(p, job, ToQColor(colours.background));

    QImage label;
    const bool laidOut = DrawLabel(flash, key.label, onMacroDevice ? cells.width - 1 : cells.width, cells.height,
                                   key.flags, key.keyType, ToQColor(colours.ink), ToQColor(colours.background),
                                   label);
    QImage zoomed;
    if (!label.isNull() && Zoom(label, kLabelZoom, zoomed)) {
        const int x = (rect.width - zoomed.width()) / 2 + (onMacroDevice ? kMacroLabelShift : 0);
        const int y = (rect.height - zoomed.height()) / 2;
        p.drawImage(x, y, zoomed);
    }

    if (framed) DrawFrame(p, job, ToQColor(colours.frame));
    return laidOut;
}

bool DrawTitle(const TTiFlashFm& flash, std::span<const uint8_t> label, int state, QImage& canvas) {
    if (canvas.isNull()) return false;
    if (!Paintable(canvas)) canvas = canvas.convertToFormat(QImage::Format_RGB32);
    const StateColours colours = StateColoursOf(state);
    Bitmap bitmap;
    const bool laidOut = DrawLabelBitmap(flash, label, kTitleWidth, kTitleHeight, colours.ink, colours.background, bitmap);
    QImage zoomed;
    Zoom(ToQImage(bitmap), kLabelZoom, zoomed);
    QPainter p(&canvas);
    p.drawImage(kTitleLeft, kTitleTop, zoomed);
    return laidOut;
}

}  // namespace orvalink
