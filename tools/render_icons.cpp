// Renders the window's SVG icons at the pixel sizes they are shown at, into
// PNG files, and a contact sheet that shows every icon at 1x and at 4x zoom on
// the button gradient. Fails (exit 1) when an icon does not load cleanly, draws
// nothing, or paints outside its shapes where it must stay transparent.
//
//   tenmari-render-icons OUTDIR [--from SVGDIR] [--app-icon]
//
// Without --from the icons embedded in the program (:/icons) are rendered.
// --app-icon also renders the emblem at the larger sizes of the installed
// application icon (kAppIconSizes), checked the same way, not on the sheet.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct IconSpec {
    const char* name;
    std::vector<int> sizes;  // every size the icon is shown at
    bool opaqueSquare;       // fills its whole square (no transparent corners)
    QColor buttonEnd;        // end colour of the gradient it sits on
};

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kBeige(0xE2, 0xDD, 0xC7);  // the search and close buttons end in this

const std::vector<IconSpec>& icons() {
    static const std::vector<IconSpec> list = {
        {"search", {32, 48}, false, kBeige},
        {"setting", {32}, false, kSilver},
        {"help", {32}, false, kSilver},
        {"close", {48}, false, kBeige},
        {"emblem", {52, 48, 32, 24, 16}, true, kSilver},
    };
    return list;
}

// Sizes of the application icon beyond the emblem's own window sizes.
const std::vector<int> kAppIconSizes = {64, 128, 256};

// Warnings printed by the SVG parser while an icon loads (unsupported
// elements, unresolved references) count as failures.
int g_svgWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg || type == QtCriticalMsg) ++g_svgWarnings;
    if (g_previousHandler) g_previousHandler(type, context, message);
}

QImage render(QSvgRenderer& svg, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    svg.render(&p, QRectF(0, 0, size, size));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Checks what a rendered icon must satisfy; prints each fault, returns false on any.
bool check(const IconSpec& icon, int size, const QImage& image) {
    bool ok = true;
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) ++covered;
    const int total = size * size;
    if (covered < total / 4) {
        std::fprintf(stderr, "%s at %d px: draws on only %d of %d pixels\n", icon.name, size, covered, total);
        ok = false;
    }
    const QPoint corners[] = {{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}};
    for (const QPoint& c : corners) {
        const int alpha = qAlpha(image.pixel(c));
        if (icon.opaqueSquare ? alpha != 255 : alpha != 0) {
            std::fprintf(stderr, "%s at %d px: corner (%d, %d) has alpha %d, wanted %s\n", icon.name, size, c.x(),
                         c.y(), alpha, icon.opaqueSquare ? "255" : "0");
            ok = false;
        }
    }
    return ok;
}

QImage zoomed(const QImage& image, int factor) {
    return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void fillGradient(QPainter& p, const QRect& r, const QColor& begin, const QColor& end) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, begin);
    g.setColorAt(1, end);
    p.fillRect(r, g);
}

struct Rendered {
    const IconSpec* icon;
    int size;
    QImage image;
};

// One row per icon and size: name, 1x on the white-to-silver button gradient,
// 1x on its own button's gradient reversed as under the mouse, 1x on the
// emblem's silver frame, and the 4x zoom of the real pixels on the button gradient.
QImage contactSheet(const std::vector<Rendered>& items) {
    constexpr int kZoom = 4;
    constexpr int kPad = 10;
    constexpr int kLabelWidth = 96;
    constexpr int kSmallCell = 64;
    constexpr int kHeader = 20;
    int zoomWidth = 0;
    int height = kPad + kHeader;
    for (const Rendered& r : items) {
        zoomWidth = std::max(zoomWidth, r.size * kZoom);
        height += std::max(r.size * kZoom, kSmallCell) + 2 * kPad + kPad;
    }
    const int width = kPad + kLabelWidth + 3 * (kSmallCell + kPad) + zoomWidth + 2 * kPad + kPad;

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&sheet);
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);

    {
        // Column titles.
        p.setPen(Qt::black);
        int x = kPad + kLabelWidth;
        const char* titles[] = {"button", "hover", "frame"};
        for (const char* title : titles) {
            p.drawText(QRect(x, kPad, kSmallCell, kHeader), Qt::AlignCenter, QString::fromLatin1(title));
            x += kSmallCell + kPad;
        }
        p.drawText(QRect(x, kPad, zoomWidth + 2 * kPad, kHeader), Qt::AlignCenter,
                   QStringLiteral("%1× zoom").arg(kZoom));
    }

    int y = kPad + kHeader;
    for (const Rendered& r : items) {
        const int rowHeight = std::max(r.size * kZoom, kSmallCell) + 2 * kPad;
        int x = kPad;
        p.setPen(Qt::black);
        p.drawText(QRect(x, y, kLabelWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1\n%2 × %2").arg(QString::fromLatin1(r.icon->name)).arg(r.size));
        x += kLabelWidth;

        const auto smallCell = [&](const QColor& begin, const QColor& end) {
            const QRect cell(x, y, kSmallCell, rowHeight);
            fillGradient(p, cell, begin, end);
            p.drawImage(x + (kSmallCell - r.size) / 2, y + (rowHeight - r.size) / 2, r.image);
            x += kSmallCell + kPad;
        };
        smallCell(kWhite, kSilver);
        smallCell(r.icon->buttonEnd, kWhite);
        smallCell(kSilver, kSilver);

        const QRect zoomCell(x, y, zoomWidth + 2 * kPad, rowHeight);
        fillGradient(p, zoomCell, kWhite, kSilver);
        const QImage big = zoomed(r.image, kZoom);
        p.drawImage(x + kPad, y + (rowHeight - big.height()) / 2, big);
        y += rowHeight + kPad;
    }
    p.end();
    return sheet;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tenmari-render-icons OUTDIR [--from SVGDIR] [--app-icon]\n"
                 "Renders every icon at its sizes into OUTDIR (NAME-SIZE.png) and writes\n"
                 "OUTDIR/contact-sheet.png. SVGDIR defaults to the embedded :/icons.\n"
                 "--app-icon also renders the emblem at 64, 128 and 256 pixels.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    QString from = QStringLiteral(":/icons");
    const qsizetype fromAt = args.indexOf(QStringLiteral("--from"));
    if (fromAt >= 0) {
        if (fromAt + 1 >= args.size()) return usage();
        from = args.at(fromAt + 1);
        args.remove(fromAt, 2);
    }
    const bool appIcon = args.removeAll(QStringLiteral("--app-icon")) > 0;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) return usage();

    const QDir out(args.first());
    if (!QDir().mkpath(out.absolutePath())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.absolutePath()));
        return 1;
    }

    g_previousHandler = qInstallMessageHandler(countingHandler);
    bool ok = true;
    std::vector<Rendered> rendered;
    for (const IconSpec& icon : icons()) {
        const QString path = from + QLatin1Char('/') + QString::fromLatin1(icon.name) + QStringLiteral(".svg");
        g_svgWarnings = 0;
        QSvgRenderer svg(path);
        if (!svg.isValid() || g_svgWarnings > 0) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path),
                         svg.isValid() ? "loads with warnings (see above)" : "is missing or not valid SVG");
            ok = false;
            continue;
        }
        for (int size : icon.sizes) {
            QImage image = render(svg, size);
            ok = check(icon, size, image) && ok;
            const QString file =
                out.filePath(QStringLiteral("%1-%2.png").arg(QString::fromLatin1(icon.name)).arg(size));
            if (!image.save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ok = false;
            }
            rendered.push_back({&icon, size, std::move(image)});
        }
        if (appIcon && qstrcmp(icon.name, "emblem") == 0) {
            for (int size : kAppIconSizes) {
                const QImage image = render(svg, size);
                ok = check(icon, size, image) && ok;
                const QString file = out.filePath(QStringLiteral("emblem-%1.png").arg(size));
                if (!image.save(file)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                    ok = false;
                }
            }
        }
    }

    const QString sheetFile = out.filePath(QStringLiteral("contact-sheet.png"));
    if (!contactSheet(rendered).save(sheetFile, "PNG", 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(sheetFile));
        ok = false;
    }
    std::printf("%s %s\n", ok ? "rendered into" : "FAILED, rendered what loaded into", qPrintable(out.absolutePath()));
    return ok ? 0 : 1;
}
