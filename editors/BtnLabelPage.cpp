#include "editors/BtnLabelPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"
#include "image/qt/KeyDrawing.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;

namespace {

constexpr int kPreviewWidth = 380;
constexpr int kPreviewHeight = 24;
constexpr int kPreviewZoom = 2;
constexpr int kPaletteCellWidth = 28;
constexpr int kPaletteCellHeight = 22;
constexpr int kCursorBlinkMs = 500;
// Character codes from 32 are glyphs 0 on; the preview draws characters up
// to 169 and lets those above take their place without a picture.
constexpr int kFirstGlyphCode = 32;
constexpr int kLastPictureCode = 169;
constexpr int kUnknownWidth = 6;
constexpr int kBreakWidth = 4;

const QString kPartText = QStringLiteral("The label is larger than the key: the remote shows only part of it.");

}  // namespace

TBtnLabelPage::TBtnLabelPage(BtnOpenKey& open, const BtnServices& services, QStatusBar& status,
                             std::function<bool()> shapeRect, QWidget* parent)
    : QWidget(parent),
      open_(open),
      flash_(services.flash),
      ui_(services.ui),
      status_(status),
      shapeRect_(std::move(shapeRect)) {
    setObjectName(QStringLiteral("m_LabelSht"));
    Build();
}

void TBtnLabelPage::Build() {
    auto* layout = new QVBoxLayout(this);
    m_BtnImg = Named(new QLabel(this), QStringLiteral("m_BtnImg"), QStringLiteral("Key preview"));
    m_BtnImg->setFixedSize(kPreviewWidth * kPreviewZoom + 4, kPreviewHeight * kPreviewZoom + 4);
    m_BtnImg->setFrameShape(QFrame::Box);
    m_BtnImg->installEventFilter(this);
    layout->addWidget(m_BtnImg);
    auto* tools = new QHBoxLayout;
    auto tool = [&](const QString& name, const QString& text) {
        auto* t = Named(new QToolButton(this), name, text);
        t->setText(text);
        tools->addWidget(t);
        return t;
    };
    m_TextTBtn = tool(QStringLiteral("m_TextTBtn"), QStringLiteral("Text"));
    m_IconTBtn = tool(QStringLiteral("m_IconTBtn"), QStringLiteral("Icons"));
    m_UserTextTBtn = tool(QStringLiteral("m_UserTextTBtn"), QStringLiteral("User Text"));
    m_UserIconTBtn = tool(QStringLiteral("m_UserIconTBtn"), QStringLiteral("User Icon"));
    tools->addStretch(1);
    layout->addLayout(tools);
    auto* row = new QHBoxLayout;
    BuildPalette();
    row->addWidget(m_IconSGrid);
    auto* col = new QVBoxLayout;
    m_AddBtn = Button(this, QStringLiteral("m_AddBtn"), QStringLiteral(" << Add"));
    m_DelBtn = Button(this, QStringLiteral("m_DelBtn"), QStringLiteral("Del <<"));
    m_EnterBtn = Button(this, QStringLiteral("m_EnterBtn"), QStringLiteral("Enter"));
    m_LeftBtn = Button(this, QStringLiteral("m_LeftBtn"), QStringLiteral("<<"));
    m_RightBtn = Button(this, QStringLiteral("m_RightBtn"), QStringLiteral(">>"));
    for (QPushButton* b : {m_AddBtn, m_DelBtn, m_EnterBtn, m_LeftBtn, m_RightBtn}) col->addWidget(b);
    col->addStretch(1);
    row->addLayout(col);
    row->addStretch(1);
    layout->addLayout(row);
    connect(m_AddBtn, &QPushButton::clicked, this, [this] { m_AddBtnClick(); });
    connect(m_DelBtn, &QPushButton::clicked, this, [this] { m_DelBtnClick(); });
    connect(m_EnterBtn, &QPushButton::clicked, this, [this] { m_EnterBtnClick(); });
    connect(m_LeftBtn, &QPushButton::clicked, this, [this] { m_LeftBtnClick(); });
    connect(m_RightBtn, &QPushButton::clicked, this, [this] { m_RightBtnClick(); });
    connect(m_TextTBtn, &QToolButton::clicked, this, [this] { m_TextTBtnClick(); });
    connect(m_IconTBtn, &QToolButton::clicked, this, [this] { m_IconTBtnClick(); });
    m_cursorTm = new QTimer(this);
    m_cursorTm->setObjectName(QStringLiteral("m_cursorTm"));
    m_cursorTm->setInterval(kCursorBlinkMs);
    connect(m_cursorTm, &QTimer::timeout, this, [this] {
        cursorShown_ = !cursorShown_;
        DrawPreview();
    });
}

void TBtnLabelPage::BuildPalette() {
    m_IconSGrid = Named(new QTableWidget(kPaletteRows, kPaletteColumns, this), QStringLiteral("m_IconSGrid"),
                        QStringLiteral("Palette"));
    m_IconSGrid->horizontalHeader()->hide();
    m_IconSGrid->verticalHeader()->hide();
    m_IconSGrid->horizontalHeader()->setMinimumSectionSize(kPaletteCellWidth);
    m_IconSGrid->verticalHeader()->setMinimumSectionSize(kPaletteCellHeight);
    for (int c = 0; c < kPaletteColumns; ++c) m_IconSGrid->setColumnWidth(c, kPaletteCellWidth);
    for (int r = 0; r < kPaletteRows; ++r) m_IconSGrid->setRowHeight(r, kPaletteCellHeight);
    m_IconSGrid->setIconSize(QSize(24, 20));
    m_IconSGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_IconSGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_IconSGrid->setFixedSize(kPaletteColumns * kPaletteCellWidth + 4, kPaletteRows * kPaletteCellHeight + 4);
    m_IconSGrid->installEventFilter(this);
    connect(m_IconSGrid, &QTableWidget::cellClicked, this, [this](int r, int c) { m_IconSGridClick(r, c); });
}

// ---------------------------------------------------------------------------
// Opening and pictures drawn from the image

void TBtnLabelPage::Open() {
    LoadPictures();
    FillPalette();
    label_.Load(std::span<const uint8_t>(open_.key.info.label.data(), open_.key.info.label.size()));
    DrawPreview();
}

void TBtnLabelPage::Clear() {
    label_.Clear();
    m_cursorTm->stop();
}

void TBtnLabelPage::StartCursor() { m_cursorTm->start(); }

void TBtnLabelPage::LoadPictures() {
    glyphs_.assign(kGlyphCount, QImage());
    icons_.assign(kIconCount, QImage());
    for (int i = 0; i < kGlyphCount; ++i) {
        GlyphBytes g;
        Bitmap b;
        if (ReadGlyph(flash_, i, g) && DrawGlyph(g, kRgbBlack, kRgbWhite, b)) glyphs_[size_t(i)] = ToQImage(b);
    }
    for (int i = 0; i < kIconCount; ++i) {
        IconBytes ic;
        if (ReadIcon(flash_, i, ic)) icons_[size_t(i)] = ToQImage(DrawIcon(ic, kRgbBlack, kRgbWhite));
    }
}

void TBtnLabelPage::FillPalette() {
    m_IconSGrid->clearContents();
    for (int index = 0; index < kPaletteRows * kPaletteColumns; ++index) {
        auto* item = new QTableWidgetItem;
        QImage picture;
        QString name;
        if (iconPalette_) {
            if (index < kIconCount) {
                picture = icons_[size_t(index)];
                name = QStringLiteral("Icon %1").arg(index);
            }
        } else if (const auto e = CharacterCell(index)) {
            if (!glyphs_[size_t(index)].isNull())
                picture = glyphs_[size_t(index)].scaled(glyphs_[size_t(index)].size() * 2);
            name = QString(QChar(e->code));
        }
        if (!picture.isNull()) item->setData(Qt::DecorationRole, QPixmap::fromImage(picture));
        item->setData(Qt::AccessibleTextRole, name);
        item->setToolTip(name);
        m_IconSGrid->setItem(index / kPaletteColumns, index % kPaletteColumns, item);
    }
    m_IconSGrid->setCurrentCell(0, 0);
}

// ---------------------------------------------------------------------------
// The preview

int TBtnLabelPage::ElementWidth(const LabelElement& e) const {
    switch (e.kind) {
        case LabelElementKind::Icon: return kIconWidth;
        case LabelElementKind::Break: return kBreakWidth;
        case LabelElementKind::Character: {
            const int index = e.code - kFirstGlyphCode;
            if (index >= 0 && index < int(glyphs_.size()) && !glyphs_[size_t(index)].isNull())
                return glyphs_[size_t(index)].width();
            return kUnknownWidth;
        }
    }
    return kUnknownWidth;
}

QImage TBtnLabelPage::ElementPicture(const LabelElement& e) const {
    if (e.kind == LabelElementKind::Icon) {
        const int index = e.iconIndex - 1;
        return index >= 0 && index < int(icons_.size()) ? icons_[size_t(index)] : QImage();
    }
    if (e.kind == LabelElementKind::Character && e.code <= kLastPictureCode) {
        const int index = e.code - kFirstGlyphCode;
        if (index >= 0 && index < int(glyphs_.size())) return glyphs_[size_t(index)];
    }
    return QImage();
}

void TBtnLabelPage::DrawPreview() {
    QImage img(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    int x = 2;
    const auto& elements = label_.Elements();
    int cursorX = x, cursorW = kUnknownWidth, cursorY = 15;
    for (size_t i = 0; i < elements.size(); ++i) {
        const LabelElement& e = elements[i];
        const int w = ElementWidth(e);
        const bool icon = e.kind == LabelElementKind::Icon;
        const QImage picture = ElementPicture(e);
        if (!picture.isNull()) p.drawImage(x, icon ? 1 : 5, picture);
        if (int(i) + 1 == label_.Cursor()) {
            cursorX = x;
            cursorW = w;
            cursorY = icon ? 18 : 15;
        }
        x += w + 1;
    }
    if (label_.Cursor() > int(elements.size())) cursorX = x;
    if (cursorShown_) p.fillRect(cursorX, cursorY, cursorW, 2, Qt::red);
    p.end();
    m_BtnImg->setPixmap(QPixmap::fromImage(img.scaled(img.size() * kPreviewZoom)));
}

void TBtnLabelPage::SayLabelFit() {
    if (open_.context.editorMode == kEditHardKey) return;  // a hard key shows no label on the LCD
    const std::vector<uint8_t> bytes = label_.Encoded();
    const bool rect = shapeRect_ && shapeRect_();
    if (!FitLabelOnKey(flash_, KeyShowingLabel(open_.key.info, bytes, rect)).Whole())
        status_.showMessage(kPartText);
    else if (status_.currentMessage() == kPartText)
        status_.clearMessage();
}

// ---------------------------------------------------------------------------
// Editing

void TBtnLabelPage::AddElement(const LabelElement& element) {
    if (!label_.Add(element)) {
        ui_.Inform(kLabelOverRangeText, MsgIcon::Error);
        return;
    }
    DrawPreview();
    SayLabelFit();
}

void TBtnLabelPage::m_AddBtnClick() {
    const int index = m_IconSGrid->currentRow() * kPaletteColumns + m_IconSGrid->currentColumn();
    if (index < 0) return;
    if (iconPalette_) return AddElement(IconCell(index));
    if (const auto e = CharacterCell(index)) AddElement(*e);
}

void TBtnLabelPage::m_IconSGridClick(int row, int column) {
    m_IconSGrid->setCurrentCell(row, column);
    m_AddBtnClick();
}

void TBtnLabelPage::m_DelBtnClick() {
    if (!label_.Delete()) return;
    DrawPreview();
    SayLabelFit();
}

void TBtnLabelPage::m_EnterBtnClick() {
    label_.Enter();
    DrawPreview();
    SayLabelFit();
}

void TBtnLabelPage::m_LeftBtnClick() {
    if (label_.Left()) DrawPreview();
}

void TBtnLabelPage::m_RightBtnClick() {
    if (label_.Right()) DrawPreview();
}

void TBtnLabelPage::m_TextTBtnClick() {
    iconPalette_ = false;
    FillPalette();
}

void TBtnLabelPage::m_IconTBtnClick() {
    iconPalette_ = true;
    FillPalette();
}

// A click on the preview gives the palette the keyboard; there a printable
// character is added as if chosen, the arrows move the cursor and Backspace
// and Delete delete.
bool TBtnLabelPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_BtnImg && event->type() == QEvent::MouseButtonPress) {
        m_IconSGrid->setFocus();
        return true;
    }
    if (watched == m_IconSGrid && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        switch (k->key()) {
            case Qt::Key_Right: m_RightBtnClick(); return true;
            case Qt::Key_Left: m_LeftBtnClick(); return true;
            case Qt::Key_Backspace:
            case Qt::Key_Delete: m_DelBtnClick(); return true;
            default: break;
        }
        const QString text = k->text();
        if (text.size() == 1 && text[0].unicode() >= kFirstGlyphCode && text[0].unicode() < 256) {
            if (const auto e = CharacterCell(text[0].unicode() - kFirstGlyphCode)) AddElement(*e);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orvalink
