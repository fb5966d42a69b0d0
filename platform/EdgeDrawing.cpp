#include "EdgeDrawing.h"

#include "Color.h"

#include <QPainter>

namespace tenmari {
namespace {

constexpr TColor cl3DDkShadow = 0xFF000015;  // system colour 21
constexpr TColor cl3DLight = 0xFF000016;     // system colour 22

// One ring: top row and left column in lightColour, bottom row and right
// column in darkColour.
void drawRing(QPainter& p, const QRect& r, TColor lightColour, TColor darkColour) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const QColor light = toQColor(lightColour);
    const QColor dark = toQColor(darkColour);
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), light);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), light);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
}

}  // namespace

void drawEdge(QPainter& p, const QRect& rect, EdgeKind kind) {
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    switch (kind) {
        case EdgeKind::Raised:
            drawRing(p, rect, cl3DLight, cl3DDkShadow);
            drawRing(p, inner, clBtnHighlight, clBtnShadow);
            break;
        case EdgeKind::Etched:
            drawRing(p, rect, clBtnShadow, clBtnHighlight);
            drawRing(p, inner, clBtnHighlight, clBtnShadow);
            break;
        case EdgeKind::Bump:
            drawRing(p, rect, cl3DLight, cl3DDkShadow);
            drawRing(p, inner, cl3DDkShadow, cl3DLight);
            break;
    }
}

void drawFlatFrame(QPainter& p, const QRect& rect) {
    drawRing(p, rect, clBtnShadow, clBtnShadow);
    drawRing(p, rect.adjusted(1, 1, -1, -1), clBtnFace, clBtnFace);
}

}  // namespace tenmari
