#pragma once
// A paint device that records what is drawn on it instead of rasterising:
// each text output with its place and colour, each picture with its place.
// Lets tests check caption positions against the real font metrics without
// guessing where anti-aliased glyphs leave ink.

#include <QColor>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QRect>
#include <QString>
#include <vector>

struct RecordedText {
    QString text;
    QPoint baseline;  // left end of the baseline
    QColor colour;
};

struct RecordedPicture {
    QRect target;
};

class PaintRecorder : public QPaintDevice {
public:
    explicit PaintRecorder(QSize size);
    ~PaintRecorder() override;

    QPaintEngine* paintEngine() const override;
    const std::vector<RecordedText>& texts() const;
    const std::vector<RecordedPicture>& pictures() const;

protected:
    int metric(PaintDeviceMetric m) const override;

private:
    class Engine;
    QSize m_size;
    Engine* m_engine;
};
