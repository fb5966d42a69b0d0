// Pictures of the program's own window, made offscreen with the sample
// dictionary: the seven help pictures (Image/001.jpg to 007.jpg, each cut to
// the help frame of 273 x 266) and, optionally, the screenshots of the README.
//
//   tenmari-window-pictures --help-dir DIR [--docs-dir DIR] [--raw-dir DIR]
//
// --raw-dir also writes the whole window behind every help picture, to check
// the cut. Settings go to a private folder, so the user's stored settings
// neither shape the pictures nor change. Exit 1 when a picture cannot be made.

#include "ClassicStyle.h"
#include "Image.h"
#include "JpegPicture.h"
#include "Notifier.h"
#include "Panel.h"
#include "UnitMain.h"
#include "WindowFont.h"
#include "plButton.h"
#include "ui_FormMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPolygonF>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include <jpeglib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#ifndef TENMARI_SAMPLE_DICTIONARY
#error "TENMARI_SAMPLE_DICTIONARY must name the sample dictionary"
#endif

using namespace tenmari;

namespace {

constexpr QSize kFrame(273, 266);  // the help picture frame
constexpr int kJpegQuality = 90;
constexpr int kMargin = 6;       // around the controls a picture is about
constexpr int kRenderScale = 2;  // help pictures are drawn large, then scaled down

// Fails the run with a message.
[[noreturn]] void fail(const QString& what) { throw std::runtime_error(what.toStdString()); }

// A scene that did not come about would give a picture of something else.
void expect(bool shown, const char* what) {
    if (!shown) fail(QStringLiteral("the window does not show ") + QLatin1String(what));
}

// Message boxes would block an offscreen run, and none belongs in a picture:
// each one is kept and fails the scene once control is back with us.
class SceneNotifier : public Notifier {
public:
    void beep() override {}
    void message(const QString& text) override { messages.push_back(text); }
    void error(const QString& text) override { messages.push_back(text); }
    void check() {
        if (messages.isEmpty()) return;
        const QString all = messages.join(QStringLiteral("; "));
        messages.clear();
        fail(QStringLiteral("the window reported: ") + all);
    }
    QStringList messages;
};

SceneNotifier g_notes;

// ---------------------------------------------------------------------------
// Writing pictures.

struct JpegFailure {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr info) {
    auto* f = reinterpret_cast<JpegFailure*>(info->err);
    (*info->err->format_message)(info, f->message);
    std::longjmp(f->jump, 1);
}

// Baseline JPEG without chroma subsampling, so that small coloured text
// stays sharp.
void writeJpeg(const QImage& picture, const QString& path) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    const QByteArray name = QFile::encodeName(path);
    std::FILE* out = std::fopen(name.constData(), "wb");
    if (!out) fail(QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));

    jpeg_compress_struct info{};
    JpegFailure failure{};
    info.err = jpeg_std_error(&failure.pub);
    failure.pub.error_exit = jpegFailed;
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&info);
        std::fclose(out);
        QFile::remove(path);
        fail(QStringLiteral("cannot encode %1: %2").arg(path, QString::fromLocal8Bit(failure.message)));
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kJpegQuality, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPLE*>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const bool closed = std::fclose(out) == 0;
    if (!closed) fail(QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));

    // Read back through the program's own decoder, as the help viewer will.
    const JpegResult check = loadJpegPicture(path, kFrame);
    if (!check.ok()) fail(QStringLiteral("%1 does not decode: %2").arg(path, check.error));
    if (check.image.size() != kFrame) fail(QStringLiteral("%1 does not fill the help frame").arg(path));
}

void writePng(const QImage& picture, const QString& path) {
    if (!picture.save(path, "PNG")) fail(QStringLiteral("cannot write %1").arg(path));
}

// The part `need` of a window picture (in the window's coordinates) with a
// margin, in the smallest area of the frame's proportions around it that is
// no smaller than the frame and no larger than the window, scaled to the
// frame. Pictures are never enlarged.
QImage cutToFrame(const QImage& shot, QRect need) {
    const qreal ratio = shot.devicePixelRatio();
    const QSizeF window = QSizeF(shot.size()) / ratio;
    const QSizeF frame(kFrame);
    need = need.adjusted(-kMargin, -kMargin, kMargin, kMargin).intersected(QRect(QPoint(0, 0), window.toSize()));
    qreal zoom = std::max({need.width() / frame.width(), need.height() / frame.height(), 1.0});
    zoom = std::min({zoom, window.width() / frame.width(), window.height() / frame.height()});
    QRectF area(QPointF(0, 0), frame * zoom);
    area.moveCenter(QRectF(need).center());
    if (area.right() > window.width()) area.moveRight(window.width());
    if (area.bottom() > window.height()) area.moveBottom(window.height());
    if (area.left() < 0) area.moveLeft(0);
    if (area.top() < 0) area.moveTop(0);

    QImage pixels = shot;
    pixels.setDevicePixelRatio(1);
    const QRect source = QRectF(area.topLeft() * ratio, area.size() * ratio).toRect();
    return pixels.copy(source).scaled(kFrame, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// ---------------------------------------------------------------------------
// The window in the states the pictures show.

class Studio {
public:
    explicit Studio(const QString& imageDir) : imageDir_(imageDir) {
        if (!scratch_.isValid()) fail(QStringLiteral("cannot make a scratch folder"));
    }

    // A fresh window, shown, with the sample dictionary as every region's
    // file and the given region chosen.
    TFormMain& open(int region) {
        window_.reset();
        window_ = std::make_unique<TFormMain>();
        TFormMain& w = *window_;
        w.ExeDir = scratch_.path();
        const QDir jisho(scratch_.filePath(QStringLiteral("Jisho")));
        if (!jisho.exists() && !QDir().mkpath(jisho.path())) fail(QStringLiteral("cannot make ") + jisho.path());
        for (QString& path : w.JishoPath) {
            path = jisho.filePath(QFileInfo(path).fileName());
            if (!QFile::exists(path) && !QFile::copy(QStringLiteral(TENMARI_SAMPLE_DICTIONARY), path)) {
                fail(QStringLiteral("cannot copy the sample dictionary to ") + path);
            }
        }
        w.show();
        settle();
        if (region >= 0) {
            ui().CBoxChihou->setCurrentIndex(region);
            emit ui().CBoxChihou->activated(region);
        }
        settle();
        return w;
    }

    // The help pictures made so far, where the window's help looks for them.
    void useImages() {
        const QDir images(scratch_.filePath(QStringLiteral("Image")));
        QDir().mkpath(images.path());
        for (int page = 1; page <= 7; ++page) {
            const QString name = QStringLiteral("%1.jpg").arg(page, 3, 10, QChar(u'0'));
            QFile::remove(images.filePath(name));
            if (!QFile::copy(QDir(imageDir_).filePath(name), images.filePath(name))) {
                fail(QStringLiteral("no help picture ") + QDir(imageDir_).filePath(name));
            }
        }
    }

    TFormMain& window() { return *window_; }
    Ui::FormMain& ui() { return window_->form(); }

    // Types each character as a key carrying it.
    void type(QWidget* w, const QString& text) {
        w->setFocus();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
        settle();
    }
    void click(TplButton* b) {
        emit b->OnClick(b);
        settle();
    }
    void hover(TplButton* b) {
        emit b->OnMouseEnter(b, {}, b->width() / 2, b->height() / 2);
        settle();
    }
    void choose(int row) {
        QListView* list = ui().ListBox1;
        if (row >= list->model()->rowCount()) fail(QStringLiteral("no candidate %1").arg(row));
        list->setCurrentIndex(list->model()->index(row, 0));
        settle();
    }
    void search() {
        click(ui().plBtnKensaku);
        if (ui().ListBox1->model()->rowCount() == 0 && ui().EditJusho->text().isEmpty()) {
            fail(QStringLiteral("the search found nothing: ") + ui().PanelInfo->Caption());
        }
    }

    // The window's client area as on screen, with an open drop-down list
    // (a window of its own) drawn where it lies over the window.
    QImage shot(int scale = 1) {
        settle();
        QImage image(window_->size() * scale, QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter p(&image);
            p.scale(scale, scale);
            window_->render(&p);
        }
        QComboBox* combo = ui().CBoxChihou;
        QWidget* popup = combo->view()->window();
        if (popup && popup != window_.get() && popup->isVisible()) {
            const QPoint at = popup->mapToGlobal(QPoint(0, 0)) - window_->mapToGlobal(QPoint(0, 0));
            QPainter p(&image);
            QImage pop(popup->size() * scale, QImage::Format_RGB32);
            QPainter pp(&pop);
            pp.scale(scale, scale);
            popup->render(&pp);
            pp.end();
            p.drawImage(at * scale, pop);
        }
        image.setDevicePixelRatio(scale);
        return image;
    }

    // Where a control lies in the window's picture.
    QRect rectOf(const QWidget* w) const { return QRect(w->mapTo(window_.get(), QPoint(0, 0)), w->size()); }

private:
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        g_notes.check();
    }

    QString imageDir_;
    QTemporaryDir scratch_;
    std::unique_ptr<TFormMain> window_;
};

QRect united(std::initializer_list<QRect> rects) {
    QRect r;
    for (const QRect& x : rects) r = r.united(x);
    return r;
}

// The mouse pointer, its tip at `tip` (the window's coordinates).
void drawPointer(QImage& shot, QPointF tip) {
    static const QPolygonF arrow{{0, 0}, {0, 17}, {4, 13}, {7, 20}, {10, 19}, {7, 12}, {12, 12}};
    QPainter p(&shot);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(tip);
    p.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
}

// The offscreen platform reports every window-manager request it ignores;
// those lines say nothing about the pictures.
QtMessageHandler g_defaultHandler = nullptr;
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (g_defaultHandler) g_defaultHandler(type, context, message);
}

struct Options {
    QString helpDir, docsDir, rawDir;
};

void makeHelpPictures(Studio& s, const Options& o) {
    const auto save = [&](int page, const QImage& shot, QRect need) {
        const QString name = QStringLiteral("%1").arg(page, 3, 10, QChar(u'0'));
        if (!o.rawDir.isEmpty()) writePng(shot, QDir(o.rawDir).filePath(name + QStringLiteral(".png")));
        writeJpeg(cutToFrame(shot, need), QDir(o.helpDir).filePath(name + QStringLiteral(".jpg")));
    };
    // Right of the search button the search panel holds only the clear
    // button: the pictures of searching end there, to stay large.
    const auto toSearchButton = [&](QRect r) {
        r.setRight(s.rectOf(s.ui().plBtnKensaku).right() + 4);
        return r;
    };

    // 1: a full postal code and its address in the result field.
    {
        s.open(0);
        s.type(s.ui().EditZip1, QStringLiteral("1000001"));
        s.search();
        Ui::FormMain& f = s.ui();
        expect(f.EditJusho->text() == QStringLiteral("東京都千代田区千代田"), "the address of 1000001");
        save(1, s.shot(kRenderScale),
             toSearchButton(united({s.rectOf(f.PanelInfo), s.rectOf(f.RBtnBangoKensaku), s.rectOf(f.LblKekka1),
                                    s.rectOf(f.EditJusho), s.rectOf(f.LblKekka2)})));
    }
    // 2: the candidates of the first digits, one of them chosen.
    {
        s.open(0);
        s.type(s.ui().EditZip1, QStringLiteral("192"));
        s.search();
        s.choose(1);
        Ui::FormMain& f = s.ui();
        expect(f.ListBox1->model()->rowCount() > 1 && !f.EditJusho->text().isEmpty(),
               "a candidate chosen among others");
        save(2, s.shot(kRenderScale),
             toSearchButton(united({s.rectOf(f.EditZip1), s.rectOf(f.LblKekka1), s.rectOf(f.ListBox1)})));
    }
    // 3: a chosen result and the copy button under the pointer.
    {
        s.open(0);
        s.type(s.ui().EditZip1, QStringLiteral("192"));
        s.search();
        s.choose(0);
        Ui::FormMain& f = s.ui();
        s.hover(f.plBtnCopy);
        expect(f.plBtnCopy->isEnabled() && !f.EditJusho->text().isEmpty(), "a result to copy");
        QImage shot = s.shot(kRenderScale);
        const QRect copy = s.rectOf(f.plBtnCopy);
        drawPointer(shot, QPointF(copy.right() - 12, copy.bottom() - 5));
        // From the result field's edge on: the labels would be cut anyway.
        QRect need = united({s.rectOf(f.EditJusho), copy, s.rectOf(f.ListBox1)});
        need.setLeft(need.left() + kMargin - 2);
        save(3, shot, need);
    }
    // 4: the beginning of an address and its codes.
    {
        s.open(0);
        Ui::FormMain& f = s.ui();
        f.RBtnJushoKensaku->setChecked(true);
        s.type(f.EditJusho1, QStringLiteral("東京都"));
        s.search();
        expect(f.ListBox1->model()->rowCount() > 1, "the codes of an address");
        save(4, s.shot(kRenderScale),
             toSearchButton(united(
                 {s.rectOf(f.RBtnJushoKensaku), s.rectOf(f.EditJusho1), s.rectOf(f.LblKekka1), s.rectOf(f.ListBox1)})));
    }
    // 5: the region list open over the region panel.
    {
        s.open(4);
        Ui::FormMain& f = s.ui();
        f.CBoxChihou->showPopup();
        QAbstractItemView* list = f.CBoxChihou->view();
        list->setCurrentIndex(list->model()->index(4, 0));
        expect(list->window()->isVisible() && list->window() != &s.window(), "the region list open");
        const QImage shot = s.shot(kRenderScale);
        QWidget* popup = list->window();
        const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)) - s.window().mapToGlobal(QPoint(0, 0)), popup->size());
        save(5, shot, united({s.rectOf(f.GroupBox1), popupRect}));
        f.CBoxChihou->hidePopup();
    }
    // 6: the settings panel, a result format chosen, and the button that
    // closes the panel.
    {
        s.open(0);
        Ui::FormMain& f = s.ui();
        s.click(f.plBtnSetting);
        f.RBtnBango->setChecked(true);
        f.ChkMark->setChecked(true);
        f.ChkHyphen->setChecked(true);
        expect(!f.PnlSetting->isHidden(), "the settings panel");
        save(6, s.shot(kRenderScale), united({s.rectOf(f.PnlSetting), s.rectOf(f.plBtnSetting)}));
    }
    // 7: the grey options, with a result in view that they would clear.
    {
        s.open(0);
        Ui::FormMain& f = s.ui();
        s.type(f.EditZip1, QStringLiteral("1000001"));
        s.search();
        s.click(f.plBtnSetting);
        expect(!f.PnlSetting->isHidden() && !f.PnlKekka->isHidden(), "the settings panel above a result");
        // To the end of the grey notes; the frame's right edge holds nothing.
        QRect need = united({s.rectOf(f.GBoxSetting2), s.rectOf(f.LblKekka1), s.rectOf(f.EditJusho)});
        need.setRight(s.rectOf(f.LblGBoxSetting1).right());
        save(7, s.shot(kRenderScale), need);
    }
}

void makeReadmePictures(Studio& s, const Options& o) {
    const auto save = [&](const char* name, const QImage& shot) {
        writePng(shot, QDir(o.docsDir).filePath(QLatin1String(name)));
    };
    {
        s.open(4);
        s.type(s.ui().EditZip1, QStringLiteral("100"));
        save("window-compact.png", s.shot());
    }
    {
        s.open(4);
        Ui::FormMain& f = s.ui();
        f.RBtnJushoKensaku->setChecked(true);
        s.type(f.EditJusho1, QStringLiteral("東京都"));
        s.search();
        s.choose(1);
        save("window-candidates.png", s.shot());
    }
    {
        s.open(4);
        s.click(s.ui().plBtnSetting);
        save("window-settings.png", s.shot());
    }
    {
        s.open(4);
        s.type(s.ui().EditZip1, QStringLiteral("100"));
        s.search();
        s.choose(0);
        save("window-candidates-code.png", s.shot());
    }
    {
        s.useImages();
        s.open(4);
        s.click(s.ui().plBtnHelp);
        expect(!s.ui().PnlHelp->isHidden() && !s.ui().ImgHelp->Picture().isNull(), "the help with its picture");
        save("window-help.png", s.shot());
        for (int page = 2; page <= 7; ++page) s.click(s.ui().plBtnFront);
        expect(s.ui().SsEditHelp->text() == QStringLiteral("7/7"), "the last help page");
        save("window-help-7.png", s.shot());
    }
    {
        // The option's note is a message box; here it only needs to appear.
        s.open(4);
        s.click(s.ui().plBtnSetting);
        SceneNotifier quiet;
        setNotifier(&quiet);
        s.ui().ChkTBar->setChecked(true);
        setNotifier(&g_notes);
        expect(s.window().TitleOffset() != 0 && !quiet.messages.isEmpty(), "the window without its title bar");
        s.click(s.ui().plBtnSetting);
        save("window-no-title-bar.png", s.shot());
    }
    {
        // Offscreen windows are never blended; the picture lays the window
        // over a striped backdrop at the opacity the window asks for.
        s.open(4);
        s.click(s.ui().plBtnSetting);
        s.ui().ChkNodo->setChecked(true);
        expect(s.window().windowOpacity() < 1.0, "the see-through window");
        const QImage window = s.shot();
        QImage blended(window.size(), QImage::Format_RGB32);
        QPainter p(&blended);
        for (int y = 0; y < blended.height(); y += 20) {
            p.fillRect(0, y, blended.width(), 10, QColor(0x1f, 0x4e, 0x9a));
            p.fillRect(0, y + 10, blended.width(), 10, QColor(0xf2, 0xc1, 0x4e));
        }
        p.setOpacity(s.window().windowOpacity());
        p.drawImage(0, 0, window);
        p.end();
        save("window-see-through.png", blended);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Offscreen unless told otherwise, with settings in a private folder.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (!config.isValid()) {
        std::fputs("tenmari-window-pictures: cannot make a settings folder\n", stderr);
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());

    g_defaultHandler = qInstallMessageHandler(quietOffscreen);
    const bool userStyle = styleChosenByUser(argc, argv);
    QApplication app(argc, argv);
    if (!userStyle) applyClassicStyle();  // the pictures show the window as it starts
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Pictures of the Tenmari window made offscreen with the sample dictionary: the help pictures "
                       "001.jpg to 007.jpg and, with --docs-dir, the README screenshots."));
    parser.addHelpOption();
    const QCommandLineOption helpDir(QStringLiteral("help-dir"), QStringLiteral("Folder for 001.jpg to 007.jpg."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption docsDir(QStringLiteral("docs-dir"), QStringLiteral("Folder for the README screenshots."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption rawDir(QStringLiteral("raw-dir"),
                                    QStringLiteral("Folder for the whole window behind each help picture."),
                                    QStringLiteral("DIR"));
    parser.addOptions({helpDir, docsDir, rawDir});
    parser.process(app);
    if (!parser.isSet(helpDir) || !parser.positionalArguments().isEmpty()) {
        std::fputs("Usage: tenmari-window-pictures --help-dir DIR [--docs-dir DIR] [--raw-dir DIR]\n", stderr);
        return 2;
    }
    Options o{parser.value(helpDir), parser.value(docsDir), parser.value(rawDir)};

    setApplicationTitle(QStringLiteral("Tenmariソフト"));
    installWindowFont();
    setNotifier(&g_notes);
    try {
        for (const QString& dir : {o.helpDir, o.docsDir, o.rawDir}) {
            if (!dir.isEmpty() && !QDir().mkpath(dir)) fail(QStringLiteral("cannot make the folder ") + dir);
        }
        Studio studio(o.helpDir);
        makeHelpPictures(studio, o);
        if (!o.docsDir.isEmpty()) makeReadmePictures(studio, o);
    } catch (const std::exception& e) {
        setNotifier(nullptr);
        std::fprintf(stderr, "tenmari-window-pictures: %s\n", e.what());
        return 1;
    }
    setNotifier(nullptr);
    return 0;
}
