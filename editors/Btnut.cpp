#include "editors/Btnut.h"

#include <QAreaSeries>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QEventLoop>
#include <QGraphicsSimpleTextItem>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

#include "formats/FileIo.h"
#include "image/BlockStore.h"
#include "image/DeviceBundle.h"
#include "image/IrDecoder.h"
#include "image/IrWaveform.h"
#include "image/KeyRecords.h"
#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"
#include "image/Pronto.h"
#include "image/qt/KeyDrawing.h"
#include "platform/Random.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

constexpr int kPreviewWidth = 380;
constexpr int kPreviewHeight = 24;
constexpr int kPreviewZoom = 2;
constexpr int kPaletteCellWidth = 28;
constexpr int kPaletteCellHeight = 22;
constexpr int kLearnPollMs = 100;
constexpr int kLeaveWaitMs = 2000;
constexpr int kMaxSbinBlocks = 40;
constexpr int kMaxSbinTimings = 16;
const char* const kSbinFilter = "S Binary  Files (*.sbin)|*.sbin|All Files (*.*)|*.*";
const char* const kPageCaptions[] = {"Attribute", "Code", "Macro", "Timer", "Cycle", "Label"};
const char* const kDayNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

template <typename T>
T* Named(T* widget, const QString& objectName, const QString& accessible) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible);
    return widget;
}

// A value label: its text, and for a screen reader its caption with the value
// ("Code type: Normal"); the caption is kept in the label's "caption" property.
void ShowValue(QLabel* label, const QString& value) {
    label->setText(value);
    const QString caption = label->property("caption").toString();
    label->setAccessibleName(value.isEmpty() ? caption : caption + QStringLiteral(": ") + value);
}

QPushButton* Button(QWidget* parent, const QString& objectName, const QString& text) {
    auto* b = new QPushButton(text, parent);
    return Named(b, objectName, text.trimmed());
}

std::optional<int> NumberIn(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

QString ProtocolTextOf(const IrCodeInfo& code) {
    const auto pulses = MarksAndSpaces(code);
    const auto decoded = DecodeIr(pulses);
    if (!decoded) return QString();
    QString text = QString::fromStdString(IrProtocolName(*decoded)) + QStringLiteral(" %1").arg(decoded->device);
    if (decoded->subDevice) text += QStringLiteral(".%1").arg(*decoded->subDevice);
    return text + QStringLiteral(" / %1").arg(decoded->function);
}

}  // namespace

TBtnFm::TBtnFm(BtnServices services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("TBtnFm"));
    setAccessibleName(QStringLiteral("Button Properties"));
    setWindowTitle(QStringLiteral("Button Properties"));
    if (services_.link) shot_ = std::make_unique<IrShot>(*services_.link);
    BuildWindow();
    learnTm_ = new QTimer(this);
    learnTm_->setSingleShot(true);
    learnTm_->setInterval(kLearnPollMs);
    connect(learnTm_, &QTimer::timeout, this, [this] { LearnRound(); });
    leaveTm_ = new QTimer(this);
    leaveTm_->setSingleShot(true);
    leaveTm_->setInterval(kLeaveWaitMs);
    connect(leaveTm_, &QTimer::timeout, this, [this] { EndLearning(); });
    ClearEditors();
}

TBtnFm::~TBtnFm() {
    if (loop_) loop_->exit(0);
}

// ---------------------------------------------------------------------------
// Building

void TBtnFm::BuildWindow() {
    auto* top = new QVBoxLayout(this);
    m_PageCtl = Named(new QTabWidget(this), QStringLiteral("m_PageCtl"), QStringLiteral("Pages"));
    m_AttrSht = BuildAttributePage();
    m_CodeSht = BuildCodePage();
    m_MacroSht = BuildMacroPage();
    m_TimerSht = BuildTimerPage();
    m_CycleSht = BuildCyclePage();
    m_LabelSht = BuildLabelPage();
    QWidget* pages[] = {m_AttrSht, m_CodeSht, m_MacroSht, m_TimerSht, m_CycleSht, m_LabelSht};
    for (int i = 0; i < 6; ++i) {
        pages[i]->setAccessibleName(QString::fromLatin1(kPageCaptions[i]));
        m_PageCtl->addTab(pages[i], QString::fromLatin1(kPageCaptions[i]));
    }
    connect(m_PageCtl, &QTabWidget::currentChanged, this, [this](int) {
        if (learning_) EndLearning();  // another page leaves learning mode
    });
    top->addWidget(m_PageCtl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_OkBtn = Button(this, QStringLiteral("m_OkBtn"), QStringLiteral("OK"));
    m_CancelBtn = Button(this, QStringLiteral("m_CancelBtn"), QStringLiteral("Cancel"));
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    top->addLayout(buttons);
    m_StatusBar = Named(new QStatusBar(this), QStringLiteral("m_StatusBar"), QStringLiteral("Status"));
    m_StatusBar->setSizeGripEnabled(false);
    top->addWidget(m_StatusBar);
    resize(800, 560);
}

QWidget* TBtnFm::BuildAttributePage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_AttrSht"));
    auto* layout = new QHBoxLayout(page);
    auto* typeBox = Named(new QGroupBox(QStringLiteral("Type"), page), QStringLiteral("m_TypeGBox"),
                          QStringLiteral("Type"));
    auto* typeLayout = new QVBoxLayout(typeBox);
    typeGroup_ = new QButtonGroup(this);
    const char* captions[] = {"", "Label", "IR Code", "Device", "Macro", "Cycle"};
    for (int i = 1; i <= 5; ++i) {
        m_R[i] = Named(new QRadioButton(QString::fromLatin1(captions[i]), typeBox),
                       QStringLiteral("m_R0%1").arg(i), QString::fromLatin1(captions[i]));
        typeGroup_->addButton(m_R[i], i);
        typeLayout->addWidget(m_R[i]);
    }
    typeLayout->addStretch(1);
    connect(typeGroup_, &QButtonGroup::idClicked, this, [this](int id) { m_RadioClick(id); });
    layout->addWidget(typeBox);

    m_AttrPal = Named(new QWidget(page), QStringLiteral("m_AttrPal"), QStringLiteral("Attributes"));
    auto* pal = new QVBoxLayout(m_AttrPal);
    pal->setContentsMargins(0, 0, 0, 0);

    m_KeyGBox = Named(new QGroupBox(QStringLiteral("Key"), m_AttrPal), QStringLiteral("m_KeyGBox"),
                      QStringLiteral("Key"));
    auto* keyForm = new QGridLayout(m_KeyGBox);
    m_keyNoCBox = Named(new QComboBox(m_KeyGBox), QStringLiteral("m_keyNoCBox"), QStringLiteral("Key function no"));
    m_keyNoCBox->setEditable(true);
    m_keyNameCBox = Named(new QComboBox(m_KeyGBox), QStringLiteral("m_keyNameCBox"),
                          QStringLiteral("Key function name"));
    m_keyNameCBox->setVisible(false);
    keyForm->addWidget(new QLabel(QStringLiteral("Key function no:"), m_KeyGBox), 0, 0);
    keyForm->addWidget(m_keyNoCBox, 0, 1);
    keyForm->addWidget(m_keyNameCBox, 1, 1);
    m_KeyGBox->setVisible(false);
    pal->addWidget(m_KeyGBox);

    auto pair = [&](QGroupBox*& box, const QString& name, const QString& title, QRadioButton*& r1,
                    const QString& n1, const QString& t1, QRadioButton*& r2, const QString& n2, const QString& t2) {
        box = Named(new QGroupBox(title, m_AttrPal), name, title);
        auto* l = new QHBoxLayout(box);
        r1 = Named(new QRadioButton(t1, box), n1, t1);
        r2 = Named(new QRadioButton(t2, box), n2, t2);
        l->addWidget(r1);
        l->addWidget(r2);
        pal->addWidget(box);
    };
    pair(m_PosGBox, QStringLiteral("m_PosGBox"), QStringLiteral("Position"), m_posR1, QStringLiteral("m_posR1"),
         QStringLiteral("Right"), m_posR2, QStringLiteral("m_posR2"), QStringLiteral("Middle"));
    pair(m_ShapeGBox, QStringLiteral("m_ShapeGBox"), QStringLiteral("Shape"), m_shapeR1, QStringLiteral("m_shapeR1"),
         QStringLiteral("Rect"), m_shapeR2, QStringLiteral("m_shapeR2"), QStringLiteral("Ellipse"));
    pair(m_BackGBox, QStringLiteral("m_BackGBox"), QStringLiteral("Background"), m_backR1,
         QStringLiteral("m_backR1"), QStringLiteral("White"), m_backR2, QStringLiteral("m_backR2"),
         QStringLiteral("Black"));
    m_PosGBox->setVisible(false);
    m_BackGBox->setVisible(false);
    // An oval key has room for one line of label, a rectangle for more.
    connect(m_shapeR1, &QRadioButton::toggled, this, [this] {
        if (!loading_) SayLabelFit();
    });

    m_DevGBox = Named(new QGroupBox(QStringLiteral("Device"), m_AttrPal), QStringLiteral("m_DevGBox"),
                      QStringLiteral("Device"));
    auto* devForm = new QGridLayout(m_DevGBox);
    m_devNoCBox = Named(new QComboBox(m_DevGBox), QStringLiteral("m_devNoCBox"), QStringLiteral("Device No"));
    m_devNoCBox->setEditable(true);
    m_devTypeCBox = Named(new QComboBox(m_DevGBox), QStringLiteral("m_devTypeCBox"), QStringLiteral("Device Type"));
    for (const std::string& n : DeviceTypeNames()) m_devTypeCBox->addItem(QString::fromStdString(n));
    m_preCodeEdt = Named(new QLineEdit(m_DevGBox), QStringLiteral("m_preCodeEdt"),
                         QStringLiteral("Pre-program number"));
    m_preCodeEdt->setReadOnly(true);
    m_preCodeChk = Named(new QCheckBox(QStringLiteral("Pre-Code"), m_DevGBox), QStringLiteral("m_preCodeChk"),
                         QStringLiteral("Pre-Code"));
    devForm->addWidget(new QLabel(QStringLiteral("Device No:"), m_DevGBox), 0, 0);
    devForm->addWidget(m_devNoCBox, 0, 1);
    devForm->addWidget(new QLabel(QStringLiteral("Device Type:"), m_DevGBox), 1, 0);
    devForm->addWidget(m_devTypeCBox, 1, 1);
    devForm->addWidget(m_preCodeEdt, 2, 1);
    devForm->addWidget(m_preCodeChk, 3, 1);
    m_DevGBox->setVisible(false);
    pal->addWidget(m_DevGBox);
    pal->addStretch(1);
    layout->addWidget(m_AttrPal, 1);
    return page;
}

// Waveform point labels: upright texts on the chart, each carrying the point
// it names (time, level) in its item data.
constexpr int kWavePointData = 0;
constexpr int kWaveLabelPixels = 9;

std::vector<QGraphicsSimpleTextItem*> WaveLabels(QChart* chart) {
    std::vector<QGraphicsSimpleTextItem*> out;
    for (QGraphicsItem* item : chart->childItems())
        if (item->data(kWavePointData).isValid())
            if (auto* text = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item)) out.push_back(text);
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) {
        return a->data(kWavePointData).toPointF().x() < b->data(kWavePointData).toPointF().x();
    });
    return out;
}

// A pair's colour as label text on the chart's white: where it is brighter
// than a mid tone (a pale yellow or pink), its red, green and blue are scaled
// down together, which keeps its hue, until it reads.
constexpr double kWaveLabelMaxLuma = 120;
double Luma(const QColor& c) { return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue(); }
QColor WaveLabelColour(const QColor& pair) {
    const double luma = Luma(pair);
    if (luma <= kWaveLabelMaxLuma) return pair;
    const double k = kWaveLabelMaxLuma / luma;
    return QColor(int(pair.red() * k), int(pair.green() * k), int(pair.blue() * k));
}

void ClearWaveLabels(QChart* chart) {
    for (QGraphicsSimpleTextItem* text : WaveLabels(chart)) delete text;
}

// A mark's label stands above the mark, a space's on the base line at the
// space's start. Where a label would run into the one before it on its
// level, it waits until the chart is wide enough.
void PlaceWaveLabels(QChart* chart) {
    const auto labels = WaveLabels(chart);
    const auto series = chart->series();
    const QRectF plot = chart->plotArea();
    double lastX[2] = {-1e9, -1e9};
    for (QGraphicsSimpleTextItem* text : labels) {
        if (series.isEmpty()) {
            text->hide();
            continue;
        }
        const QPointF point = text->data(kWavePointData).toPointF();
        const QPointF at = chart->mapToPosition(point, series.front());
        const int level = point.y() > 0.5 ? 1 : 0;
        const double thickness = text->boundingRect().height();
        // The last point's label stands left of it, inside the plot.
        const double x = std::min(at.x() + 1, plot.right() - thickness);
        const bool room = x - lastX[level] >= thickness && x >= plot.left() - 1;
        text->setVisible(room);
        if (!room) continue;
        lastX[level] = x;
        text->setPos(x, at.y() - 2);
    }
}

QChartView* MakeChart(QWidget* parent, const QString& name, const QString& accessible) {
    auto* chart = new QChart;
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [chart] { PlaceWaveLabels(chart); });
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    auto* view = Named(new QChartView(chart, parent), name, accessible);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMinimumHeight(150);
    return view;
}

QWidget* TBtnFm::BuildCodePage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_CodeSht"));
    auto* layout = new QVBoxLayout(page);
    auto* info = new QGridLayout;
    m_codeTypeTxt = Named(new QLabel(page), QStringLiteral("m_codeTypeTxt"), QStringLiteral("Code type"));
    m_codeCarryTxt = Named(new QLabel(page), QStringLiteral("m_codeCarryTxt"), QStringLiteral("Carrier"));
    m_protocolTxt = Named(new QLabel(page), QStringLiteral("m_protocolTxt"), QStringLiteral("Protocol"));
    for (QLabel* value : {m_codeTypeTxt, m_codeCarryTxt, m_protocolTxt}) value->setProperty("caption", value->accessibleName());
    info->addWidget(new QLabel(QStringLiteral("Code type:"), page), 0, 0);
    info->addWidget(m_codeTypeTxt, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Carrier (kHz):"), page), 0, 2);
    info->addWidget(m_codeCarryTxt, 0, 3);
    info->addWidget(new QLabel(QStringLiteral("Protocol:"), page), 1, 0);
    info->addWidget(m_protocolTxt, 1, 1, 1, 3);
    layout->addLayout(info);
    auto* row = new QHBoxLayout;
    m_LearnBtn = Button(page, QStringLiteral("m_LearnBtn"), QStringLiteral("Learn IR code mode"));
    m_LeaveBtn = Button(page, QStringLiteral("m_LeaveBtn"), QStringLiteral("Leave learning mode"));
    m_ShootBtn = Button(page, QStringLiteral("m_ShootBtn"), QStringLiteral("Shoot IR code"));
    m_LoadIRBtn = Button(page, QStringLiteral("m_LoadIRBtn"), QStringLiteral("Load"));
    for (QPushButton* b : {m_LearnBtn, m_LeaveBtn, m_ShootBtn, m_LoadIRBtn}) row->addWidget(b);
    layout->addLayout(row);
    auto* row2 = new QHBoxLayout;
    m_ProntoCopyBtn = Button(page, QStringLiteral("m_ProntoCopyBtn"), QStringLiteral("Copy as Pronto"));
    m_ProntoPasteBtn = Button(page, QStringLiteral("m_ProntoPasteBtn"), QStringLiteral("Paste Pronto"));
    row2->addWidget(m_ProntoCopyBtn);
    row2->addWidget(m_ProntoPasteBtn);
    row2->addStretch(1);
    layout->addLayout(row2);
    m_Cht = MakeChart(page, QStringLiteral("m_Cht"), QStringLiteral("Waveform"));
    layout->addWidget(m_Cht, 1);
    m_LeaveBtn->setEnabled(false);
    connect(m_LearnBtn, &QPushButton::clicked, this, [this] { m_LearnBtnClick(); });
    connect(m_LeaveBtn, &QPushButton::clicked, this, [this] { m_LeaveBtnClick(); });
    connect(m_ShootBtn, &QPushButton::pressed, this, [this] { m_ShootBtnDown(); });
    connect(m_ShootBtn, &QPushButton::released, this, [this] { m_ShootBtnUp(); });
    connect(m_LoadIRBtn, &QPushButton::clicked, this, [this] { m_LoadIRBtnClick(); });
    connect(m_ProntoCopyBtn, &QPushButton::clicked, this, [this] { m_ProntoCopyBtnClick(); });
    connect(m_ProntoPasteBtn, &QPushButton::clicked, this, [this] { m_ProntoPasteBtnClick(); });
    return page;
}

QWidget* TBtnFm::BuildMacroPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_MacroSht"));
    auto* layout = new QHBoxLayout(page);
    m_StepSGrid = Named(new QTableWidget(0, 6, page), QStringLiteral("m_StepSGrid"), QStringLiteral("Macro steps"));
    m_StepSGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Step"), QStringLiteral("Device"), QStringLiteral("Layout"), QStringLiteral("Time"),
         QStringLiteral("KeyNo"), QStringLiteral("DevNo")});
    m_StepSGrid->verticalHeader()->hide();
    m_StepSGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_StepSGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_StepSGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_StepSGrid, &QTableWidget::cellClicked, this, [this](int row, int) { m_StepSGridSelect(row); });
    layout->addWidget(m_StepSGrid, 1);
    auto* col = new QVBoxLayout;
    m_ViewBtn = Button(page, QStringLiteral("m_ViewBtn"), QStringLiteral("View"));
    m_NewBtn = Button(page, QStringLiteral("m_NewBtn"), QStringLiteral("New"));
    m_InsertBtn = Button(page, QStringLiteral("m_InsertBtn"), QStringLiteral("Insert"));
    m_EditBtn = Button(page, QStringLiteral("m_EditBtn"), QStringLiteral("Edit"));
    m_DeleteBtn = Button(page, QStringLiteral("m_DeleteBtn"), QStringLiteral("Delete"));
    m_MUpBtn = Button(page, QStringLiteral("m_MUpBtn"), QStringLiteral("Up"));
    m_MDownBtn = Button(page, QStringLiteral("m_MDownBtn"), QStringLiteral("Down"));
    m_macroSaveBtn = Button(page, QStringLiteral("m_macroSaveBtn"), QStringLiteral("Save"));
    for (QPushButton* b : {m_ViewBtn, m_NewBtn, m_InsertBtn, m_EditBtn, m_DeleteBtn, m_MUpBtn, m_MDownBtn,
                           m_macroSaveBtn})
        col->addWidget(b);
    col->addStretch(1);
    layout->addLayout(col);
    connect(m_ViewBtn, &QPushButton::clicked, this, [this] { m_ViewBtnClick(); });
    connect(m_NewBtn, &QPushButton::clicked, this, [this] { m_NewBtnClick(); });
    connect(m_InsertBtn, &QPushButton::clicked, this, [this] { m_InsertBtnClick(); });
    connect(m_EditBtn, &QPushButton::clicked, this, [this] { m_EditBtnClick(); });
    connect(m_DeleteBtn, &QPushButton::clicked, this, [this] { m_DeleteBtnClick(); });
    connect(m_MUpBtn, &QPushButton::clicked, this, [this] { m_MUpBtnClick(); });
    connect(m_MDownBtn, &QPushButton::clicked, this, [this] { m_MDownBtnClick(); });
    connect(m_macroSaveBtn, &QPushButton::clicked, this, [this] { m_macroSaveBtnClick(); });
    return page;
}

QWidget* TBtnFm::BuildTimerPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_TimerSht"));
    auto* layout = new QVBoxLayout(page);
    auto* radios = new QHBoxLayout;
    timerGroup_ = new QButtonGroup(this);
    const char* captions[] = {"", "Disable", "Week", "Specific"};
    for (int i = 1; i <= 3; ++i) {
        m_tmRBtn[i] = Named(new QRadioButton(QString::fromLatin1(captions[i]), page),
                            QStringLiteral("m_tmRBtn0%1").arg(i), QString::fromLatin1(captions[i]));
        timerGroup_->addButton(m_tmRBtn[i], i);
        radios->addWidget(m_tmRBtn[i]);
    }
    connect(timerGroup_, &QButtonGroup::idClicked, this, [this](int id) { m_TimerRadioClick(id); });
    layout->addLayout(radios);
    m_WeekPal = Named(new QWidget(page), QStringLiteral("m_WeekPal"), QStringLiteral("Week days"));
    auto* week = new QVBoxLayout(m_WeekPal);
    for (int d = 0; d < 7; ++d) {
        m_dayChk[d] = Named(new QCheckBox(QString::fromLatin1(kDayNames[d]), m_WeekPal),
                            QStringLiteral("m_day%1Chk").arg(d + 1), QString::fromLatin1(kDayNames[d]));
        week->addWidget(m_dayChk[d]);
        connect(m_dayChk[d], &QCheckBox::clicked, this, [this] { MarkMacroChanged(true); });
    }
    layout->addWidget(m_WeekPal);
    m_SpecPal = Named(new QWidget(page), QStringLiteral("m_SpecPal"), QStringLiteral("Specific date"));
    auto* spec = new QHBoxLayout(m_SpecPal);
    m_DatePk = Named(new QDateEdit(m_SpecPal), QStringLiteral("m_DatePk"), QStringLiteral("Date"));
    m_DatePk->setDisplayFormat(QStringLiteral("MM-dd"));
    m_TimePk = Named(new QTimeEdit(m_SpecPal), QStringLiteral("m_TimePk"), QStringLiteral("Time"));
    m_TimePk->setDisplayFormat(QStringLiteral("HH:mm"));
    spec->addWidget(m_DatePk);
    spec->addWidget(m_TimePk);
    layout->addWidget(m_SpecPal);
    layout->addStretch(1);
    return page;
}

QWidget* TBtnFm::BuildCyclePage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_CycleSht"));
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    m_CycleGrid = Named(new QTableWidget(0, 2, page), QStringLiteral("m_CycleGrid"), QStringLiteral("Cycle steps"));
    m_CycleGrid->setHorizontalHeaderLabels({QStringLiteral("Step"), QStringLiteral("Code")});
    m_CycleGrid->verticalHeader()->hide();
    m_CycleGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_CycleGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_CycleGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_CycleGrid, &QTableWidget::cellClicked, this, [this](int row, int) { m_CycleGridSelect(row); });
    top->addWidget(m_CycleGrid, 1);
    auto* col = new QVBoxLayout;
    m_cLearnBtn = Button(page, QStringLiteral("m_cLearnBtn"), QStringLiteral("Enter learning IR code mode"));
    m_cShootBtn = Button(page, QStringLiteral("m_cShootBtn"), QStringLiteral("Shoot IR code test"));
    m_cRemoveBtn = Button(page, QStringLiteral("m_cRemoveBtn"), QStringLiteral("Remove >>"));
    m_cUpBtn = Button(page, QStringLiteral("m_cUpBtn"), QStringLiteral("Up"));
    m_cDownBtn = Button(page, QStringLiteral("m_cDownBtn"), QStringLiteral("Down"));
    m_cLeaveBtn = Button(page, QStringLiteral("m_cLeaveBtn"), QStringLiteral("Leave learning mode"));
    for (QPushButton* b : {m_cLearnBtn, m_cShootBtn, m_cRemoveBtn, m_cUpBtn, m_cDownBtn, m_cLeaveBtn})
        col->addWidget(b);
    col->addStretch(1);
    top->addLayout(col);
    layout->addLayout(top);
    m_cCht = MakeChart(page, QStringLiteral("m_cCht"), QStringLiteral("Cycle waveform"));
    layout->addWidget(m_cCht, 1);
    m_cLeaveBtn->setEnabled(false);
    connect(m_cLearnBtn, &QPushButton::clicked, this, [this] { m_cLearnBtnClick(); });
    connect(m_cLeaveBtn, &QPushButton::clicked, this, [this] { m_LeaveBtnClick(); });
    connect(m_cShootBtn, &QPushButton::pressed, this, [this] { m_cShootBtnDown(); });
    connect(m_cShootBtn, &QPushButton::released, this, [this] { m_cShootBtnUp(); });
    connect(m_cRemoveBtn, &QPushButton::clicked, this, [this] { m_cRemoveBtnClick(); });
    connect(m_cUpBtn, &QPushButton::clicked, this, [this] { m_cUpBtnClick(); });
    connect(m_cDownBtn, &QPushButton::clicked, this, [this] { m_cDownBtnClick(); });
    return page;
}

QWidget* TBtnFm::BuildLabelPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_LabelSht"));
    auto* layout = new QVBoxLayout(page);
    m_BtnImg = Named(new QLabel(page), QStringLiteral("m_BtnImg"), QStringLiteral("Key preview"));
    m_BtnImg->setFixedSize(kPreviewWidth * kPreviewZoom + 4, kPreviewHeight * kPreviewZoom + 4);
    m_BtnImg->setFrameShape(QFrame::Box);
    m_BtnImg->installEventFilter(this);
    layout->addWidget(m_BtnImg);
    auto* tools = new QHBoxLayout;
    auto tool = [&](const QString& name, const QString& text) {
        auto* t = Named(new QToolButton(page), name, text);
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
    m_IconSGrid = Named(new QTableWidget(kPaletteRows, kPaletteColumns, page), QStringLiteral("m_IconSGrid"),
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
    row->addWidget(m_IconSGrid);
    auto* col = new QVBoxLayout;
    m_AddBtn = Button(page, QStringLiteral("m_AddBtn"), QStringLiteral(" << Add"));
    m_DelBtn = Button(page, QStringLiteral("m_DelBtn"), QStringLiteral("Del <<"));
    m_EnterBtn = Button(page, QStringLiteral("m_EnterBtn"), QStringLiteral("Enter"));
    m_LeftBtn = Button(page, QStringLiteral("m_LeftBtn"), QStringLiteral("<<"));
    m_RightBtn = Button(page, QStringLiteral("m_RightBtn"), QStringLiteral(">>"));
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
    m_cursorTm->setInterval(500);
    connect(m_cursorTm, &QTimer::timeout, this, [this] {
        cursorShown_ = !cursorShown_;
        DrawPreview();
    });
    return page;
}

// ---------------------------------------------------------------------------
// Pictures drawn from the image

void TBtnFm::LoadPictures() {
    glyphs_.assign(kGlyphCount, QImage());
    icons_.assign(kIconCount, QImage());
    for (int i = 0; i < kGlyphCount; ++i) {
        GlyphBytes g;
        Bitmap b;
        if (ReadGlyph(services_.flash, i, g) && DrawGlyph(g, kRgbBlack, kRgbWhite, b)) glyphs_[size_t(i)] = ToQImage(b);
    }
    for (int i = 0; i < kIconCount; ++i) {
        IconBytes ic;
        if (ReadIcon(services_.flash, i, ic)) icons_[size_t(i)] = ToQImage(DrawIcon(ic, kRgbBlack, kRgbWhite));
    }
}

void TBtnFm::FillPalette() {
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
// Opening, OK and Cancel

bool TBtnFm::EditKey(LayoutKey& key, const KeyEditContext& context) {
    // One key at a time: a command that reaches here while the editor is
    // still open (from inside a link wait) opens nothing.
    if (loop_) return false;
    if (!OpenKey(key, context)) {
        services_.ui.Inform("The key's label is too long to be edited.", MsgIcon::Error);
        return false;
    }
    finished_ = false;
    ShowKeyEditor();
    QEventLoop loop;
    loop_ = &loop;
    if (!finished_) loop.exec();
    loop_ = nullptr;
    if (accepted_ || keyTouched_) key = key_;
    return accepted_ || keyTouched_;
}

bool TBtnFm::OpenKey(const LayoutKey& key, const KeyEditContext& context) {
    if (key.info.labelLength > 32) return false;
    ClearEditors();
    key_ = key;
    context_ = context;
    mode_ = context.editorMode;
    device_ = context.device;
    keyTouched_ = false;
    accepted_ = false;
    finished_ = false;
    LoadPictures();
    FillPalette();
    loading_ = true;

    // 1. The label.
    label_.Load(std::span<const uint8_t>(key_.info.label.data(), key_.info.label.size()));
    DrawPreview();
    // 2. Position, shape, background.
    const uint8_t f = key_.info.flags;
    ((f & kFlagAlignRight) ? m_posR1 : m_posR2)->setChecked(true);
    ((f & kFlagRectangle) ? m_shapeR1 : m_shapeR2)->setChecked(true);
    ((f & kFlagWhite) ? m_backR1 : m_backR2)->setChecked(true);
    // The lists the layout editor gave.
    m_keyNoCBox->clear();
    for (int n : context.freeKeyNumbers) m_keyNoCBox->addItem(QString::number(n));
    m_keyNoCBox->setCurrentText(QString::number(key_.info.keyNumber));
    m_devNoCBox->clear();
    for (int n : context.freeDevices) m_devNoCBox->addItem(QString::number(n));
    m_devNoCBox->setCurrentIndex(context.freeDevices.empty() ? -1 : 0);
    // 3. By key type.
    const TypeRadio radio = RadioOfKey(key_.info);
    SetRadio(radio);
    IrCodeInfo code;
    switch (key_.info.keyType) {
        case kKeyIrCode:
            if (KeyCode(code)) ShowCode(code, m_Cht);
            break;
        case kKeyDevice:
            m_devNoCBox->setCurrentText(QString::number(key_.info.link));
            m_devTypeCBox->setCurrentText(QString::fromStdString(TypeNameOfCode(key_.info.codeNumber)));
            m_preCodeEdt->setText(key_.info.codeNumber < 0 ? QString() : QString::number(key_.info.codeNumber));
            if (KeyCode(code)) ShowCode(code, m_Cht);
            break;
        case kKeyMacro: LoadMacro(); break;
        case kKeyCycle:
            cycle_.LoadFromKey(key_);
            FillCycleGrid();
            break;
        default: break;
    }
    if (mode_ == kEditMacroKey) LoadMacro();
    loading_ = false;
    ApplyPages();
    SayLabelFit();
    // 4. The label page first.
    if (mode_ != kEditHardKey) m_PageCtl->setCurrentWidget(m_LabelSht);
    m_cursorTm->start();
    return true;
}

void TBtnFm::ClearEditors() {
    if (learning_) EndLearning();
    label_.Clear();
    macro_.Clear();
    cycle_.Clear();
    timerHeld_ = {};
    MarkMacroChanged(false);
    FillStepGrid();
    FillCycleGrid();
    ClearCodeView();
    m_devNoCBox->clearEditText();
    m_devNoCBox->setCurrentIndex(-1);
    m_preCodeEdt->clear();
    ShowTimer({});
    radio_ = kNoRadio;
    typeGroup_->setExclusive(false);
    for (int i = 1; i <= 5; ++i) m_R[i]->setChecked(false);
    typeGroup_->setExclusive(true);
    if (m_cursorTm) m_cursorTm->stop();
    m_StatusBar->clearMessage();
}

void TBtnFm::m_OkBtnClick() {
    // 1. Everything enabled again; learning ends.
    if (learning_) EndLearning();
    SetLearningControls(false);
    // 2. A key of the Macro device is a macro key.
    if (mode_ == kEditMacroKey) SetRadio(kRadioMacro);
    if (macroChanged_ && radio_ == kRadioMacro) {
        const MsgAnswer a = services_.ui.ShowMessage(
            {"Save change to this MACRO key ?", {}, MsgIcon::Question, MsgButtons::YesNo});
        if (a == MsgAnswer::Yes) SaveMacro();
    }
    // 3. The attributes.
    AttributeInput in;
    in.editorMode = mode_;
    in.radio = radio_;
    in.positionRight = m_posR1->isChecked();
    in.shapeRect = m_shapeR1->isChecked();
    in.backgroundWhite = m_backR1->isChecked();
    in.label = label_.Encoded();
    in.deviceNumber = NumberIn(m_devNoCBox->currentText());
    in.deviceType = m_devTypeCBox->currentText().toStdString();
    in.keyNumber = NumberIn(m_keyNoCBox->currentText());
    in.cycleSteps = cycle_.Count();
    switch (WriteAttributes(in, key_.info)) {
        case OkResult::DeviceOutOfRange:
            services_.ui.ShowMessage({kOutOfDeviceText, {}, MsgIcon::Warning, MsgButtons::YesCancel});
            break;
        case OkResult::CycleWithoutSteps:
            services_.ui.Inform(kNoCycleStepText, MsgIcon::Error);
            return;
        case OkResult::KeyNumberTooHigh:
            Say(QStringLiteral("The key number must be 63 or less."));
            return;
        case OkResult::Written: break;
    }
    // 4. A cycle key takes its steps.
    if (mode_ == kEditSoftKey && radio_ == kRadioCycle) cycle_.PackInto(key_);
    // 5. Done.
    Finish(true);
}

void TBtnFm::m_CancelBtnClick() { Finish(false); }

void TBtnFm::Finish(bool accepted) {
    if (learning_) EndLearning();
    if (shot_) shot_->Release();  // also a press still waiting for the remote
    accepted_ = accepted;
    finished_ = true;
    ClearEditors();
    if (services_.refreshMain) services_.refreshMain();
    hide();
    SetMainEnabled(true);
    if (loop_) loop_->exit(0);
}

void TBtnFm::closeEvent(QCloseEvent* event) {
    if (!finished_) m_CancelBtnClick();
    event->accept();
}

void TBtnFm::ShowKeyEditor() {
    if (finished_) return;
    SetMainEnabled(false);
    // The first time over the middle of the main window, on the screen;
    // after that where the user left it.
    if (!placed_ && parentWidget()) {
        adjustSize();
        QRect frame(QPoint(), size());
        frame.moveCenter(parentWidget()->window()->frameGeometry().center());
        if (const QScreen* screen = parentWidget()->screen()) {
            const QRect avail = screen->availableGeometry();
            frame.moveLeft(std::max(avail.left(), std::min(frame.left(), avail.right() - frame.width())));
            frame.moveTop(std::max(avail.top(), std::min(frame.top(), avail.bottom() - frame.height())));
        }
        move(frame.topLeft());
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

void TBtnFm::SetMainEnabled(bool enabled) {
    if (mainDisabled_ == !enabled) return;
    mainDisabled_ = !enabled;
    if (services_.setMainEnabled) services_.setMainEnabled(enabled);
}

void TBtnFm::Say(const QString& text) { m_StatusBar->showMessage(text); }
QString TBtnFm::StatusText() const { return m_StatusBar->currentMessage(); }

// ---------------------------------------------------------------------------
// Type radios and pages

void TBtnFm::SetRadio(TypeRadio radio) {
    radio_ = radio;
    if (radio == kNoRadio) {
        typeGroup_->setExclusive(false);
        for (int i = 1; i <= 5; ++i) m_R[i]->setChecked(false);
        typeGroup_->setExclusive(true);
    } else {
        m_R[radio]->setChecked(true);
    }
    if (!loading_) ApplyPages();
}

void TBtnFm::m_RadioClick(int radio) {
    const TypeRadio from = radio_;
    const TypeRadio to = TypeRadio(radio);
    if (from == to) return;
    const TypeChange change = TypeChangeRule(from, to);
    const bool ask = !change.question.empty() && (!loading_ || change.askedWhileLoading);
    if (ask) {
        const MsgAnswer a =
            services_.ui.ShowMessage({change.question, {}, MsgIcon::Question, MsgButtons::YesNoCancel});
        if (a != MsgAnswer::Yes) {
            SetRadio(from);  // the old radio back, nothing changed
            return;
        }
    }
    if (change.deleteChild) {
        const auto child = NumberIn(m_devNoCBox->currentText());
        if (child && *child >= 1 && *child <= 64) {
            ClearDeviceKeys(services_.flash, *child);
            if (services_.refreshMain) services_.refreshMain();
        }
    }
    if (change.erase) {
        EraseKeyCode(key_.info);
        key_.hasCycle = false;
        key_.cycle = CycleInfo{};
        macro_.Clear();
        cycle_.Clear();
        FillStepGrid();
        FillCycleGrid();
        ClearCodeView();
        keyTouched_ = true;
    }
    if (change.deviceTypeTv) m_devTypeCBox->setCurrentText(QStringLiteral("TV"));
    SetRadio(to);
}

void TBtnFm::ShowPage(QWidget* page, bool shown) { m_PageCtl->setTabVisible(m_PageCtl->indexOf(page), shown); }

void TBtnFm::ApplyPages() {
    const PageShowing p = PagesFor(mode_, radio_);
    ShowPage(m_AttrSht, p.attributePage);
    ShowPage(m_CodeSht, p.codePage);
    ShowPage(m_MacroSht, p.macroPage);
    ShowPage(m_TimerSht, p.timerPage);
    ShowPage(m_CycleSht, p.cyclePage);
    ShowPage(m_LabelSht, p.labelPage);
    m_PageCtl->setTabEnabled(m_PageCtl->indexOf(m_TimerSht), p.timerEnabled);
    m_ShapeGBox->setVisible(p.shapeGroup);
    m_AttrPal->setVisible(p.attributePanel);
    m_keyNoCBox->setEnabled(p.keyNumberEnabled);
    m_R[kRadioLabel]->setEnabled(p.labelRadioEnabled);
    m_R[kRadioDevice]->setEnabled(p.deviceRadioEnabled);
    if (radio_ == kRadioDevice) m_shapeR1->setChecked(true);
}

QWidget* TBtnFm::Page(const QString& caption) const {
    for (int i = 0; i < 6; ++i)
        if (caption == QLatin1String(kPageCaptions[i])) return m_PageCtl->widget(i);
    return nullptr;
}

bool TBtnFm::PageShown(const QString& caption) const {
    QWidget* page = Page(caption);
    return page && m_PageCtl->isTabVisible(m_PageCtl->indexOf(page));
}

bool TBtnFm::PageEnabled(const QString& caption) const {
    QWidget* page = Page(caption);
    return page && m_PageCtl->isTabEnabled(m_PageCtl->indexOf(page));
}

QRadioButton* TBtnFm::TypeRadioButton(int radio) const { return radio >= 1 && radio <= 5 ? m_R[radio] : nullptr; }
QRadioButton* TBtnFm::TimerRadio(int kind) const { return kind >= 1 && kind <= 3 ? m_tmRBtn[kind] : nullptr; }

// ---------------------------------------------------------------------------
// Label page

int TBtnFm::ElementWidth(const LabelElement& e) const {
    switch (e.kind) {
        case LabelElementKind::Icon: return kIconWidth;
        case LabelElementKind::Break: return 4;
        case LabelElementKind::Character: {
            const int index = e.code - 32;
            if (index >= 0 && index < int(glyphs_.size()) && !glyphs_[size_t(index)].isNull())
                return glyphs_[size_t(index)].width();
            return 6;
        }
    }
    return 6;
}

QImage TBtnFm::ElementPicture(const LabelElement& e) const {
    if (e.kind == LabelElementKind::Icon) {
        const int index = e.iconIndex - 1;
        return index >= 0 && index < int(icons_.size()) ? icons_[size_t(index)] : QImage();
    }
    if (e.kind == LabelElementKind::Character && e.code <= 169) {
        const int index = e.code - 32;
        if (index >= 0 && index < int(glyphs_.size())) return glyphs_[size_t(index)];
    }
    return QImage();
}

void TBtnFm::DrawPreview() {
    QImage img(kPreviewWidth, kPreviewHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    int x = 2;
    const auto& elements = label_.Elements();
    int cursorX = x, cursorW = 6, cursorY = 15;
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

void TBtnFm::AddElement(const LabelElement& element) {
    if (!label_.Add(element)) {
        services_.ui.Inform(kLabelOverRangeText, MsgIcon::Error);
        return;
    }
    DrawPreview();
    SayLabelFit();
}

void TBtnFm::SayLabelFit() {
    static const QString kPartText =
        QStringLiteral("The label is larger than the key: the remote shows only part of it.");
    if (mode_ == kEditHardKey) return;  // a hard key shows no label on the LCD
    KeyInfo shown = key_.info;
    const std::vector<uint8_t> bytes = label_.Encoded();
    shown.label.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), shown.label.size() - 1), shown.label.begin());
    shown.flags = m_shapeR1->isChecked() ? uint8_t(shown.flags | kFlagRectangle) : uint8_t(shown.flags & ~kFlagRectangle);
    if (!FitLabelOnKey(services_.flash, shown).Whole())
        Say(kPartText);
    else if (StatusText() == kPartText)
        m_StatusBar->clearMessage();
}

void TBtnFm::m_AddBtnClick() {
    const int index = m_IconSGrid->currentRow() * kPaletteColumns + m_IconSGrid->currentColumn();
    if (index < 0) return;
    if (iconPalette_) return AddElement(IconCell(index));
    if (const auto e = CharacterCell(index)) AddElement(*e);
}

void TBtnFm::m_IconSGridClick(int row, int column) {
    m_IconSGrid->setCurrentCell(row, column);
    m_AddBtnClick();
}

void TBtnFm::m_DelBtnClick() {
    if (!label_.Delete()) return;
    DrawPreview();
    SayLabelFit();
}

void TBtnFm::m_EnterBtnClick() {
    label_.Enter();
    DrawPreview();
    SayLabelFit();
}

void TBtnFm::m_LeftBtnClick() {
    if (label_.Left()) DrawPreview();
}

void TBtnFm::m_RightBtnClick() {
    if (label_.Right()) DrawPreview();
}

void TBtnFm::m_TextTBtnClick() {
    iconPalette_ = false;
    FillPalette();
}

void TBtnFm::m_IconTBtnClick() {
    iconPalette_ = true;
    FillPalette();
}

bool TBtnFm::eventFilter(QObject* watched, QEvent* event) {
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
        if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() < 256) {
            if (const auto e = CharacterCell(text[0].unicode() - 32)) AddElement(*e);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Code page

bool TBtnFm::KeyCode(IrCodeInfo& code) const {
    const KeyInfo& k = key_.info;
    if (k.codeBlockCount == 0xFF || k.codeBlockCount == 0) return false;
    const size_t n = std::min(size_t(k.codeBlockCount) * 8, k.codeBlocks.size());
    return UnpackIrCode(std::span<const uint8_t>(k.codeBlocks.data(), n), code);
}

void TBtnFm::ClearCodeView() {
    ShowValue(m_codeTypeTxt, {});
    ShowValue(m_codeCarryTxt, {});
    ShowValue(m_protocolTxt, {});
    for (QChartView* v : {m_Cht, m_cCht}) {
        if (!v) continue;
        ClearWaveLabels(v->chart());
        v->chart()->removeAllSeries();
        for (QAbstractAxis* a : v->chart()->axes()) v->chart()->removeAxis(a);
    }
}

void TBtnFm::ShowCode(const IrCodeInfo& code, QChartView* view) {
    ShowValue(m_codeTypeTxt, QString::fromStdString(orvalink::CodeTypeText(code.codeType)));
    uint8_t carrier = 0;
    ShowValue(m_codeCarryTxt, CarrierByteFromPeriod(code.carrier, carrier)
                                ? QString::fromStdString(orvalink::CarrierText(carrier))
                                : QString());
    ShowValue(m_protocolTxt, ProtocolTextOf(code));

    QChart* chart = view->chart();
    ClearWaveLabels(chart);
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) chart->removeAxis(a);
    const auto points = WaveformPoints(MarksAndSpaces(code));
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    // Every level holds until the next point: the edges are drawn upright.
    int level = 0;
    for (const WavePoint& p : points) {
        if (upper->count() > 0) upper->append(p.time, level);
        upper->append(p.time, p.level);
        level = p.level;
    }
    lower->append(0, 0);
    lower->append(points.empty() ? 1 : points.back().time, 0);
    auto* area = new QAreaSeries(upper, lower);
    area->setObjectName(QStringLiteral("waveform"));
    chart->addSeries(area);
    // Each pair its own colour (red, green and blue each below 255).
    QColor colour;
    std::vector<QColor> pairColours;
    for (int i = 0; i < upper->count(); ++i) {
        // Point 0 is pair 1's rise; each wave point after it takes two.
        const int wavePoint = i == 0 ? 0 : (i + 1) / 2;
        if (wavePoint % 2 == 0 && (i == 0 || i % 2 == 1)) {
            colour = QColor(int(services_.random.Next() % 255), int(services_.random.Next() % 255),
                            int(services_.random.Next() % 255));
            pairColours.push_back(colour);
        }
        upper->setPointConfiguration(i, QXYSeries::PointConfiguration::Color, colour);
    }
    // Every point is labelled with its pair and its duration, in the pair's colour
    // (darkened where it would be too pale to read).
    QFont font = chart->font();
    font.setPixelSize(kWaveLabelPixels);
    for (const WavePoint& p : points) {
        auto* text = new QGraphicsSimpleTextItem(QString::fromStdString(p.label), chart);
        text->setData(kWavePointData, QPointF(p.time, p.level));
        text->setFont(font);
        const size_t pair = size_t(p.pair - 1);
        text->setBrush(pair < pairColours.size() ? WaveLabelColour(pairColours[pair]) : QColor(Qt::black));
        text->setRotation(-90);
        text->setZValue(10);
    }
    area->setPen(QPen(QColor(0, 0, 160), 1));
    area->setBrush(QColor(120, 160, 230));
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    y->setRange(0, 1.2);
    y->setLabelsVisible(false);
    x->setRange(0, points.empty() ? 1 : points.back().time);
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    area->attachAxis(x);
    area->attachAxis(y);
    PlaceWaveLabels(chart);
}

int TBtnFm::ChartPointCount(QChartView* view) const {
    const auto series = view->chart()->series();
    if (series.isEmpty()) return 0;
    auto* area = qobject_cast<QAreaSeries*>(series.front());
    return area && area->upperSeries() ? int(area->upperSeries()->count() + 1) / 2 : 0;
}

bool TBtnFm::StoreLearned(const LearnedCode& learned, const QString& source) {
    IrCodeInfo stored;
    std::array<uint8_t, kCodeBlockRoom * 8> blocks{};
    blocks.fill(0xFF);
    if (!LearnedToStored(learned, stored) ||
        !PackIrCode(stored, std::span<uint8_t>(blocks.data(), size_t(stored.size) * 8))) {
        Say(QStringLiteral("%1 could not be converted into a stored IR code; the key keeps its code.").arg(source));
        return false;
    }
    key_.info.codeBlocks = blocks;
    key_.info.codeBlockCount = stored.size;
    keyTouched_ = true;
    ShowCode(stored, m_Cht);
    Say(QStringLiteral("%1 stored as the key's code.").arg(source));
    return true;
}

void TBtnFm::SetLearningControls(bool learning) {
    // Pages are switched and disabled here; that is no page change of the user's.
    const QSignalBlocker block(m_PageCtl);
    if (learning) m_PageCtl->setCurrentWidget(learningCycle_ ? m_CycleSht : m_CodeSht);
    for (QWidget* page : {m_AttrSht, m_CodeSht, m_MacroSht, m_TimerSht, m_CycleSht, m_LabelSht}) {
        const bool own = page == (learningCycle_ ? m_CycleSht : m_CodeSht);
        if (!own) m_PageCtl->setTabEnabled(m_PageCtl->indexOf(page), !learning);
    }
    if (!learning) ApplyPages();
    for (QWidget* w : {static_cast<QWidget*>(m_LearnBtn), static_cast<QWidget*>(m_ShootBtn),
                       static_cast<QWidget*>(m_LoadIRBtn), static_cast<QWidget*>(m_cLearnBtn),
                       static_cast<QWidget*>(m_cShootBtn), static_cast<QWidget*>(m_cRemoveBtn),
                       static_cast<QWidget*>(m_cUpBtn), static_cast<QWidget*>(m_cDownBtn),
                       static_cast<QWidget*>(m_ProntoPasteBtn), static_cast<QWidget*>(m_OkBtn)})
        w->setEnabled(!learning);
    m_OkBtn->setEnabled(true);
    m_LeaveBtn->setEnabled(learning && !learningCycle_);
    m_cLeaveBtn->setEnabled(learning && learningCycle_);
}

void TBtnFm::StartLearning(bool cycle) {
    if (learning_) return;
    if (!services_.link) return Say(QStringLiteral("No link to the remote."));
    learningCycle_ = cycle;
    learning_ = true;
    ++learnSession_;
    SetLearningControls(true);
    Say(QStringLiteral("Learning: point the other remote at the QM-5100 and press its key."));
    if (!services_.link->IrLearnStart()) {
        Say(QStringLiteral("The remote did not start learning."));
        EndLearning();
        return;
    }
    learnTm_->start();
}

void TBtnFm::LearnRound() {
    if (!learning_ || roundRunning_) return;
    roundRunning_ = true;
    LearnedCode code{};
    // The remote may keep us waiting up to 4 s; when the user ends learning
    // meanwhile (Leave, OK, Cancel), the wait ends with that event, so no
    // click of theirs runs inside a wait that is still going on.
    const int session = learnSession_;
    const bool got =
        services_.link->IrLearnReceive(code, [this, session] { return !learning_ || learnSession_ != session; });
    roundRunning_ = false;
    if (got && learning_) {
        if (learningCycle_) {
            IrCodeInfo stored;
            if (!LearnedToStored(code, stored)) {
                Say(QStringLiteral("The learned code could not be converted; it was dropped."));
            } else if (!cycle_.AddLearned(code, stored)) {
                services_.ui.Inform(kOutOfCycleStepText, MsgIcon::Error);
                EndLearning();
                return;
            } else {
                keyTouched_ = true;
                FillCycleGrid();
                ShowCode(stored, m_cCht);
                Say(QStringLiteral("Cycle step %1 learned.").arg(cycle_.Count()));
            }
        } else {
            StoreLearned(code, QStringLiteral("The learned code"));
        }
    }
    if (learning_) learnTm_->start();
}

void TBtnFm::EndLearning() {
    leaveTm_->stop();
    learnTm_->stop();
    if (!learning_) return;
    learning_ = false;
    SetLearningControls(false);
    if (services_.link) services_.link->IrStop();
}

void TBtnFm::m_LearnBtnClick() { StartLearning(false); }
void TBtnFm::m_cLearnBtnClick() { StartLearning(true); }

void TBtnFm::m_LeaveBtnClick() {
    if (!learning_) return;
    Say(QStringLiteral("Leaving learning mode."));
    leaveTm_->start();
}

void TBtnFm::Shoot(const LearnedCode& send) {
    if (!shot_) return Say(QStringLiteral("No link to the remote."));
    if (!shot_->Press(send)) Say(QStringLiteral("The remote did not take the code."));
}

void TBtnFm::ShootRelease() {
    if (shot_) shot_->Release();
}

void TBtnFm::m_ShootBtnDown() {
    IrCodeInfo code;
    LearnedCode send{};
    if (!KeyCode(code) || !StoredToSend(code, send)) return Say(QStringLiteral("The key has no IR code to shoot."));
    Shoot(send);
}

void TBtnFm::m_ShootBtnUp() { ShootRelease(); }

void TBtnFm::m_cShootBtnDown() {
    const int s = cycle_.Selected();
    if (s < 1) return Say(QStringLiteral("No cycle step is selected."));
    LearnedCode send{};
    if (!StoredToSend(cycle_.Steps()[size_t(s - 1)].stored, send))
        return Say(QStringLiteral("The step's code cannot be sent."));
    Shoot(send);
}

void TBtnFm::m_cShootBtnUp() { ShootRelease(); }

void TBtnFm::m_LoadIRBtnClick() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = kSbinFilter;
    request.mustExist = true;
    const auto path = services_.ui.ChooseFile(request);
    if (!path) return;
    // A file longer than a learned code, or no regular file at all (a FIFO
    // would keep the window waiting), is refused unread.
    std::vector<uint8_t> bytes;
    const bool inBounds = ReadFileBytes(*path, bytes, kLearnedCodeBytes);
    if (!inBounds || bytes.size() < 8 || bytes[0] == 0 ||
        bytes[0] > kMaxSbinBlocks || bytes[7] > kMaxSbinTimings || size_t(bytes[0]) * 8 > bytes.size()) {
        services_.ui.Inform("Load IR code error !", MsgIcon::Error);
        Say(QStringLiteral("The file is not a learned IR code within its bounds; the key keeps its code."));
        return;
    }
    LearnedCode learned{};
    std::copy(bytes.begin(), bytes.end(), learned.begin());
    if (!StoreLearned(learned, QStringLiteral("The loaded code"))) services_.ui.Inform("Load IR code error !", MsgIcon::Error);
}

void TBtnFm::m_ProntoCopyBtnClick() {
    IrCodeInfo code;
    if (!KeyCode(code)) return Say(QStringLiteral("The key has no IR code to copy."));
    std::string text, error;
    if (!ProntoText(ProntoOfCode(code), text, error)) return Say(QString::fromStdString(error));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    Say(QStringLiteral("The code is on the clipboard as Pronto Hex."));
}

void TBtnFm::m_ProntoPasteBtnClick() {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    ProntoCode pronto;
    LearnedCode learned{};
    std::string error;
    if (!ParsePronto(text, pronto, error) || !LearnedOfPronto(pronto, learned, error))
        return Say(QStringLiteral("The clipboard holds no usable Pronto Hex code: %1; the key keeps its code.")
                       .arg(QString::fromStdString(error)));
    StoreLearned(learned, QStringLiteral("The Pronto Hex code"));
}

// ---------------------------------------------------------------------------
// Macro page

MacroRow TBtnFm::RowOf(int device, int key, int delay) const {
    MacroRow row;
    row.device = services_.deviceName ? services_.deviceName(device) : std::to_string(device);
    KeyInfo k;
    std::string text;
    int length = 0;
    if (ReadKey(services_.flash, device, key, k) && LabelToText(std::span<const uint8_t>(k.label), text, length))
        row.layout = text;
    row.time = DelayText(delay);
    row.keyNo = std::to_string(key);
    row.devNo = std::to_string(device);
    return row;
}

void TBtnFm::LoadMacro() {
    macro_.Clear();
    timerHeld_ = {};
    if (const auto data = ParseMacroData(key_.info)) {
        std::vector<MacroRow> rows;
        for (const MacroDataStep& s : data->steps) rows.push_back(RowOf(s.device, s.key, s.delay));
        macro_.SetRows(std::move(rows));
        timerHeld_ = data->timer;
    }
    ShowTimer(timerHeld_);
    FillStepGrid();
    MarkMacroChanged(false);
}

void TBtnFm::FillStepGrid() {
    const QSignalBlocker block(m_StepSGrid);
    m_StepSGrid->setRowCount(macro_.Count());
    for (int r = 0; r < macro_.Count(); ++r) {
        const MacroRow& row = macro_.Rows()[size_t(r)];
        const std::string cells[] = {std::to_string(r + 1), row.device, row.layout, row.time, row.keyNo, row.devNo};
        for (int c = 0; c < 6; ++c) m_StepSGrid->setItem(r, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    if (macro_.Selected() >= 1) m_StepSGrid->selectRow(macro_.Selected() - 1);
    else m_StepSGrid->clearSelection();
    m_MUpBtn->setEnabled(macro_.CanMoveUp());
    m_MDownBtn->setEnabled(macro_.CanMoveDown());
}

void TBtnFm::MarkMacroChanged(bool changed) {
    macroChanged_ = changed;
    m_macroSaveBtn->setStyleSheet(changed ? QStringLiteral("color: rgb(255,0,0);")
                                          : QStringLiteral("color: rgb(0,0,255);"));
}

TimerBytes TBtnFm::CurrentTimer() const {
    const int kind = timerGroup_->checkedId() < 1 ? kTimerDisable : timerGroup_->checkedId();
    uint8_t mask = 0;
    for (int d = 0; d < 7; ++d)
        if (m_dayChk[d]->isChecked()) mask |= DayBit(d);
    TimerPickers p{m_DatePk->date().month(), m_DatePk->date().day(), m_TimePk->time().hour(),
                   m_TimePk->time().minute()};
    return SaveTimer(TimerKind(kind), mask, p, timerHeld_);
}

void TBtnFm::ShowTimer(const TimerBytes& bytes) {
    const TimerView v = LoadTimer(bytes);
    m_tmRBtn[v.kind]->setChecked(true);
    for (int d = 0; d < 7; ++d) m_dayChk[d]->setChecked(v.kind == kTimerWeek && (v.dayMask & DayBit(d)));
    if (v.monthDay) {
        const QDate date(QDate::currentDate().year(), v.monthDay->first, v.monthDay->second);
        if (date.isValid()) m_DatePk->setDate(date);
    }
    if (v.hourMinute) m_TimePk->setTime(QTime(v.hourMinute->first, v.hourMinute->second));
    m_WeekPal->setVisible(v.kind == kTimerWeek);
    m_SpecPal->setVisible(v.kind == kTimerSpecific);
}

void TBtnFm::m_TimerRadioClick(int kind) {
    m_WeekPal->setVisible(kind == kTimerWeek);
    m_SpecPal->setVisible(kind == kTimerSpecific);
    MarkMacroChanged(true);
}

bool TBtnFm::SaveMacro() {
    const TimerBytes timer = CurrentTimer();
    const auto data = BuildMacroData(macro_.Rows(), timer);
    if (!data) {
        services_.ui.Inform("Save MACRO error !", MsgIcon::Error);
        Say(QStringLiteral("A step holds a value that is no number; the key keeps its macro."));
        return false;
    }
    StoreMacroData(*data, key_.info);
    timerHeld_ = timer;
    keyTouched_ = true;
    MarkMacroChanged(false);
    Say(QStringLiteral("Macro of %1 step(s) saved.").arg(macro_.Count()));
    return true;
}

void TBtnFm::m_macroSaveBtnClick() { SaveMacro(); }

void TBtnFm::m_StepSGridSelect(int row) {
    macro_.Select(row + 1);
    m_MUpBtn->setEnabled(macro_.CanMoveUp());
    m_MDownBtn->setEnabled(macro_.CanMoveDown());
}

bool TBtnFm::OpenStepWindow(int device, orvalink::EditorMode mode, uint16_t operation, int step, int selectKeyOf) {
    if (!services_.openStepWindow) {
        Say(QStringLiteral("No layout editor can be opened for the steps."));
        return false;
    }
    SetMainEnabled(true);
    hide();
    TSoftLCDFm* window = services_.openStepWindow(device, mode);
    if (!window) {
        ShowKeyEditor();
        Say(QStringLiteral("The layout editor could not be opened."));
        return false;
    }
    MacroStepCursor cursor;
    cursor.operation = operation;
    cursor.step = uint16_t(step);
    cursor.total = uint16_t(macro_.Count());
    cursor.delay = 0;
    if (selectKeyOf >= 1 && selectKeyOf <= macro_.Count()) {
        MacroStepCursor fetched;
        if (FetchStep(selectKeyOf, fetched)) {
            cursor.device = fetched.device;
            cursor.key = fetched.key;
            cursor.delay = fetched.delay;
            window->LoadDeviceAndSelect(fetched.device, fetched.key);
        }
    } else {
        cursor.device = uint8_t(std::max(device, 0));
    }
    window->SetStepCursor(cursor);
    return true;
}

static int OwnDevice(int device) { return device == kMacroSlot ? kHomeSlot : std::max(device, 0); }

void TBtnFm::m_ViewBtnClick() {
    if (macro_.Count() == 0) return services_.ui.Inform("No data to view !", MsgIcon::Error);
    const int step = macro_.Selected() >= 1 ? macro_.Selected() : 1;
    MacroStepCursor fetched;
    FetchStep(step, fetched);
    OpenStepWindow(fetched.device, ModeStepView, kStepSelect, step, step);
}

void TBtnFm::m_NewBtnClick() {
    OpenStepWindow(OwnDevice(device_), ModeStepEdit, kStepNew, macro_.Count(), 0);
}

void TBtnFm::m_InsertBtnClick() {
    if (macro_.Count() == 0) return services_.ui.Inform("No data to insert !", MsgIcon::Error);
    OpenStepWindow(OwnDevice(device_), ModeStepEdit, kStepInsert, std::max(macro_.Selected(), 1), 0);
}

void TBtnFm::m_EditBtnClick() {
    if (macro_.Selected() < 1) return services_.ui.Inform("No data to edit !", MsgIcon::Error);
    OpenStepWindow(OwnDevice(device_), ModeStepEdit, kStepEdit, macro_.Selected(), macro_.Selected());
}

void TBtnFm::m_DeleteBtnClick() {
    if (macro_.Selected() < 1) return services_.ui.Inform("No data to delete !", MsgIcon::Error);
    if (macro_.Remove(macro_.Selected())) MarkMacroChanged(true);
    FillStepGrid();
}

void TBtnFm::m_MUpBtnClick() {
    if (macro_.MoveUp()) MarkMacroChanged(true);
    FillStepGrid();
}

void TBtnFm::m_MDownBtnClick() {
    if (macro_.MoveDown()) MarkMacroChanged(true);
    FillStepGrid();
}

void TBtnFm::TakeStep(const MacroStepCursor& step) {
    if (!StepCursorAcceptable(step)) return;
    const MacroRow row = RowOf(step.device, step.key, step.delay);
    bool done = false;
    switch (step.operation) {
        case kStepNew: done = macro_.Append(row); break;
        case kStepInsert: done = macro_.Insert(step.step, row); break;
        case kStepEdit: done = macro_.Replace(step.step, row); break;
        case kStepDelete: done = macro_.Remove(step.step); break;
        case kStepSelect: macro_.Select(step.step); break;
        default: break;
    }
    if (done) MarkMacroChanged(true);
    FillStepGrid();
}

bool TBtnFm::FetchStep(int step, MacroStepCursor& cursor) {
    if (step < 1 || step > macro_.Count()) return false;
    const MacroRow& row = macro_.Rows()[size_t(step - 1)];
    const auto device = NumberIn(QString::fromStdString(row.devNo));
    const auto key = NumberIn(QString::fromStdString(row.keyNo));
    if (!device || !key) return false;
    cursor.device = uint8_t(*device);
    cursor.key = uint8_t(*key);
    cursor.delay = uint8_t(row.time == "0.5" ? 0 : NumberIn(QString::fromStdString(row.time)).value_or(0));
    cursor.step = uint16_t(step);
    cursor.total = uint16_t(macro_.Count());
    return true;
}

void TBtnFm::SetStepDelayText(int step, const std::string& text) {
    if (macro_.SetTime(step, text)) {
        MarkMacroChanged(true);
        FillStepGrid();
    }
}

// ---------------------------------------------------------------------------
// Cycle page

void TBtnFm::FillCycleGrid() {
    const QSignalBlocker block(m_CycleGrid);
    m_CycleGrid->setRowCount(cycle_.Count());
    for (int r = 0; r < cycle_.Count(); ++r) {
        const CycleStep& s = cycle_.Steps()[size_t(r)];
        m_CycleGrid->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(s.stepText)));
        m_CycleGrid->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(s.codeText)));
    }
    if (cycle_.Selected() >= 1) m_CycleGrid->selectRow(cycle_.Selected() - 1);
    m_cUpBtn->setEnabled(!learning_ && cycle_.Selected() > 1);
    m_cDownBtn->setEnabled(!learning_ && cycle_.Selected() >= 1 && cycle_.Selected() < cycle_.Count());
}

void TBtnFm::m_CycleGridSelect(int row) {
    if (learning_) return;
    if (!cycle_.Select(row + 1)) return;
    ShowCode(cycle_.Steps()[size_t(row)].stored, m_cCht);
    FillCycleGrid();
}

void TBtnFm::m_cRemoveBtnClick() {
    cycle_.Remove();
    FillCycleGrid();
}

void TBtnFm::m_cUpBtnClick() {
    cycle_.MoveUp();
    FillCycleGrid();
}

void TBtnFm::m_cDownBtnClick() {
    cycle_.MoveDown();
    FillCycleGrid();
}

}  // namespace orvalink
