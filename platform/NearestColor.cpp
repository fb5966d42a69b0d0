#include "NearestColor.h"

#include <QPaintDevice>
#include <array>
#include <limits>

namespace tenmari {
namespace {

int expand(int value, int bits) {
    const int kept = value >> (8 - bits);
    return (kept << (8 - bits)) | (kept >> (2 * bits - 8));  // bits is 5 or 6
}

constexpr std::array<QRgb, 20> kStaticPalette = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
                                                 0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
                                                 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

}  // namespace

QColor nearestColor(const QPaintDevice& device, const QColor& colour) {
    const int depth = device.depth();
    if (depth >= 24) return colour;
    if (depth >= 15) {
        return QColor(expand(colour.red(), 5), expand(colour.green(), 6), expand(colour.blue(), 5));
    }
    QRgb best = kStaticPalette.front();
    int bestDistance = std::numeric_limits<int>::max();
    for (const QRgb entry : kStaticPalette) {
        const int dr = qRed(entry) - colour.red();
        const int dg = qGreen(entry) - colour.green();
        const int db = qBlue(entry) - colour.blue();
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = entry;
        }
    }
    return QColor::fromRgb(best);
}

}  // namespace tenmari
