// The waveform chart of Button Properties: an IR code's marks and spaces as
// one area series, every level held until the next point so the edges stand
// upright, each mark and space pair in a random colour of its own and every
// point labelled with its pair and duration in that colour. The code page
// and the cycle page each show one.
#pragma once

#include <QChartView>

namespace orvalink {

class Random;
struct IrCodeInfo;

class BtnWaveform : public QChartView {
    Q_OBJECT
public:
    BtnWaveform(Random& random, const QString& objectName, const QString& accessibleName, QWidget* parent);

    // Draws `code` in place of what the chart showed.
    void Show(const IrCodeInfo& code);
    void Clear();
    // The waveform points drawn: two for each mark and space pair.
    int PointCount() const;

private:
    Random& random_;
};

}  // namespace orvalink
