#include "PaintRecorder.h"

#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>

class PaintRecorder::Engine : public QPaintEngine {
public:
    Engine() : QPaintEngine(AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState& s) override {
        if (s.state() & DirtyPen) m_pen = s.pen();
        if (s.state() & DirtyTransform) m_transform = s.transform();
    }
    void drawTextItem(const QPointF& p, const QTextItem& ti) override {
        texts.push_back({ti.text(), m_transform.map(p).toPoint(), m_pen.color()});
    }
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override {
        pictures.push_back({m_transform.mapRect(r).toRect()});
    }
    void drawImage(const QRectF& r, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {
        pictures.push_back({m_transform.mapRect(r).toRect()});
    }
    void drawPath(const QPainterPath&) override {}
    void drawRects(const QRectF*, int) override {}
    void drawRects(const QRect*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawPoints(const QPointF*, int) override {}
    void drawPoints(const QPoint*, int) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}

    std::vector<RecordedText> texts;
    std::vector<RecordedPicture> pictures;

private:
    QPen m_pen;
    QTransform m_transform;
};

PaintRecorder::PaintRecorder(QSize size) : m_size(size), m_engine(new Engine) {}
PaintRecorder::~PaintRecorder() { delete m_engine; }
QPaintEngine* PaintRecorder::paintEngine() const { return m_engine; }
const std::vector<RecordedText>& PaintRecorder::texts() const { return m_engine->texts; }
const std::vector<RecordedPicture>& PaintRecorder::pictures() const { return m_engine->pictures; }

int PaintRecorder::metric(PaintDeviceMetric m) const {
    switch (m) {
    case PdmWidth: return m_size.width();
    case PdmHeight: return m_size.height();
    case PdmWidthMM: return m_size.width() * 254 / 960;
    case PdmHeightMM: return m_size.height() * 254 / 960;
    case PdmNumColors: return 0;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return 96;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    }
    return 0;
}
