#include "PaintScale.h"

#include <QPaintEngine>
#include <QPainter>

namespace tenmari {

double paintScale(const QPainter& p) {
    const QPaintEngine* engine = p.paintEngine();
    const QPaintDevice* device = engine && engine->paintDevice() ? engine->paintDevice() : p.device();
    const double scale = device ? device->devicePixelRatio() : 1.0;
    return scale >= 1e-3 ? scale : 1.0;
}

}  // namespace tenmari
