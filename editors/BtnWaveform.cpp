#include "editors/BtnWaveform.h"

#include <QAreaSeries>
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <vector>

#include "editors/BtnShared.h"
#include "editors/core/IrLink.h"
#include "image/IrWaveform.h"
#include "platform/Random.h"

namespace orvalink {

namespace {

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

// The upper line of the area: every level holds until the next point, so the
// edges are drawn upright.
QLineSeries* UpperLine(const std::vector<WavePoint>& points) {
    auto* upper = new QLineSeries;
    int level = 0;
    for (const WavePoint& p : points) {
        if (upper->count() > 0) upper->append(p.time, level);
        upper->append(p.time, p.level);
        level = p.level;
    }
    return upper;
}

// Each pair its own colour (red, green and blue each below 255) on the upper
// line; the colours in pair order.
std::vector<QColor> ColourPairs(QLineSeries* upper, Random& random) {
    QColor colour;
    std::vector<QColor> pairColours;
    for (int i = 0; i < upper->count(); ++i) {
        // Point 0 is pair 1's rise; each wave point after it takes two.
        const int wavePoint = i == 0 ? 0 : (i + 1) / 2;
        if (wavePoint % 2 == 0 && (i == 0 || i % 2 == 1)) {
            colour = QColor(int(random.Next() % 255), int(random.Next() % 255), int(random.Next() % 255));
            pairColours.push_back(colour);
        }
        upper->setPointConfiguration(i, QXYSeries::PointConfiguration::Color, colour);
    }
    return pairColours;
}

// Every point is labelled with its pair and its duration, in the pair's
// colour (darkened where it would be too pale to read).
void AddWaveLabels(QChart* chart, const std::vector<WavePoint>& points, const std::vector<QColor>& pairColours) {
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
}

void AddAxes(QChart* chart, QAreaSeries* area, double end) {
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    y->setRange(0, 1.2);
    y->setLabelsVisible(false);
    x->setRange(0, end);
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    area->attachAxis(x);
    area->attachAxis(y);
}

}  // namespace

BtnWaveform::BtnWaveform(Random& random, const QString& objectName, const QString& accessibleName,
                         QWidget* parent)
    : QChartView(new QChart, parent), random_(random) {
    QChart* c = chart();
    connect(c, &QChart::plotAreaChanged, c, [c] { PlaceWaveLabels(c); });
    c->legend()->hide();
    c->setMargins(QMargins(2, 2, 2, 2));
    btnui::Named(this, objectName, accessibleName);
    setRenderHint(QPainter::Antialiasing, false);
    setMinimumHeight(150);
}

void BtnWaveform::Clear() {
    QChart* c = chart();
    ClearWaveLabels(c);
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) c->removeAxis(a);
}

void BtnWaveform::Show(const IrCodeInfo& code) {
    Clear();
    QChart* c = chart();
    const auto points = WaveformPoints(MarksAndSpaces(code));
    const double end = points.empty() ? 1 : points.back().time;
    QLineSeries* upper = UpperLine(points);
    auto* lower = new QLineSeries;
    lower->append(0, 0);
    lower->append(end, 0);
    auto* area = new QAreaSeries(upper, lower);
    area->setObjectName(QStringLiteral("waveform"));
    c->addSeries(area);
    AddWaveLabels(c, points, ColourPairs(upper, random_));
    area->setPen(QPen(QColor(0, 0, 160), 1));
    area->setBrush(QColor(120, 160, 230));
    AddAxes(c, area, end);
    PlaceWaveLabels(c);
}

int BtnWaveform::PointCount() const {
    const auto series = chart()->series();
    if (series.isEmpty()) return 0;
    auto* area = qobject_cast<QAreaSeries*>(series.front());
    return area && area->upperSeries() ? int(area->upperSeries()->count() + 1) / 2 : 0;
}

}  // namespace orvalink
