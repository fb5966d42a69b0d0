#include "EdgeDrawing.h"

#include "Color.h"

#include <QPainter>

namespace tenmari {
namespace {

constexpr TColor cl3DDkShadow = 0xFF000015;  // system colour 21
constexpr TColor cl3DLight = 0xFF000016;     // system colour 22

QRect ring(QPainter& p, const QRect& box, TColor topLeft, TColor bottomRight) {
    return drawRings(p, box, toQColor(topLeft), toQColor(bottomRight), 1);
}

}  // namespace

QRect drawRings(QPainter& p, const QRect& box, const QColor& topLeft, const QColor& bottomRight, int rings) {
    QRect r = box;
    for (int i = 0; i < rings; ++i) {
        if (!isInvertedBox(r)) {
            p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
            p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
            p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
            p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
        }
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

QRect drawBevel(QPainter& p, const QRect& box, Bevel bevel, int width) {
    const QColor shadow = toQColor(clBtnShadow);
    const QColor highlight = toQColor(clBtnHighlight);
    switch (bevel) {
    case Bevel::None: return box;
    case Bevel::Lowered: return drawRings(p, box, shadow, highlight, width);
    case Bevel::Raised: return drawRings(p, box, highlight, shadow, width);
    }
    return box;
}

void drawEdge(QPainter& p, const QRect& rect, EdgeKind kind) {
    switch (kind) {
    case EdgeKind::Raised: ring(p, ring(p, rect, cl3DLight, cl3DDkShadow), clBtnHighlight, clBtnShadow); break;
    case EdgeKind::Etched: ring(p, ring(p, rect, clBtnShadow, clBtnHighlight), clBtnHighlight, clBtnShadow); break;
    case EdgeKind::Bump: ring(p, ring(p, rect, cl3DLight, cl3DDkShadow), cl3DDkShadow, cl3DLight); break;
    }
}

void drawFlatFrame(QPainter& p, const QRect& rect) {
    ring(p, ring(p, rect, clBtnShadow, clBtnShadow), clBtnFace, clBtnFace);
}

}  // namespace tenmari
