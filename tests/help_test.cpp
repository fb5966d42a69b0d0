// The help viewer's data and pictures: the seven pages' texts, counters and
// page-button effects; JPEG decoding into the kept top-left corner, and every
// way a picture file can be missing, unreadable or broken.
#include "HelpPages.h"
#include "JpegPicture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace tenmari {
namespace {

// ---------------------------------------------------------------- pages

struct PageExpectation {
    int number;
    const char* picture;
    const char* counter;
    ButtonEffect back;
    ButtonEffect front;
    std::size_t lineCount;
    std::set<std::size_t> emptyLines;  // 0-based
    const char* second;                // the first line is empty on every page
    const char* last;
};

const std::vector<PageExpectation>& expectedPages() {
    using E = ButtonEffect;
    static const std::vector<PageExpectation> pages{
        {1,
         "Image/001.jpg",
         "1/7",
         E::Disable,
         E::Unchanged,
         7,
         {0, 2},
         "　郵便番号を入力し、検索ボタンを押すと該当の住所を検索表示します。",
         "　※前３桁未満の郵便番号では検索する事はできません。"},
        {2,
         "Image/002.jpg",
         "2/7",
         E::Enable,
         E::Unchanged,
         6,
         {0, 3},
         "　７桁未満での「あいまい検索」の場合には、検索候補として住所一覧が",
         "　→他ソフトへの検索結果のコピーの際などにお使い下さい。"},
        {3,
         "Image/003.jpg",
         "3/7",
         E::Unchanged,
         E::Unchanged,
         7,
         {0, 3},
         "　\"結果をコピー\"ボタンを押しますと、検索結果を他ソフトへコピーする事が",
         "　※\"検索結果\"が空欄の場合には、コピーボタンは押せません。"},
        {4,
         "Image/004.jpg",
         "4/7",
         E::Unchanged,
         E::Unchanged,
         4,
         {0},
         "　住所から郵便番号を検索する事ができ、市町村の途中まででも",
         "　※検索の際には、必ず都道府県からの入力が必要となります。"},
        {5,
         "Image/005.jpg",
         "5/7",
         E::Unchanged,
         E::Unchanged,
         6,
         {0, 3},
         "　検索に用いる辞書を、目的の都道府県を含む地方の専用辞書に切替え",
         "　地方別の辞書より検索時間がより多く必要となります。"},
        {6,
         "Image/006.jpg",
         "6/7",
         E::Unchanged,
         E::Enable,
         6,
         {0, 4},
         "　\"ソフトウェアの設定\"を使って頂くと、〒マークを付けるなど検索結果の",
         "　※設定終了時も、設定ボタンと同じボタンです。"},
        {7,
         "Image/007.jpg",
         "7/7",
         E::Unchanged,
         E::Disable,
         7,
         {0, 4},
         "　各設定は、必要に応じて随時変えて頂く事は可能です。",
         "　現在の検索結果などが消えますのでご注意下さい。"},
    };
    return pages;
}

TEST(HelpPages, EachPageMatchesItsTable) {
    ASSERT_EQ(helpPages().size(), std::size_t(kHelpPageCount));
    for (const PageExpectation& want : expectedPages()) {
        SCOPED_TRACE(want.number);
        const HelpPageContent* page = helpPage(want.number);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->number, want.number);
        EXPECT_EQ(page->picture, QString::fromUtf8(want.picture));
        EXPECT_EQ(page->counter, QString::fromUtf8(want.counter));
        EXPECT_EQ(page->back, want.back);
        EXPECT_EQ(page->front, want.front);
        ASSERT_EQ(page->lines.size(), want.lineCount);
        EXPECT_EQ(page->lines[1], QString::fromUtf8(want.second));
        EXPECT_EQ(page->lines.back(), QString::fromUtf8(want.last));
        for (std::size_t i = 0; i < page->lines.size(); ++i) {
            const QString& line = page->lines[i];
            if (want.emptyLines.count(i)) {
                EXPECT_TRUE(line.isEmpty()) << i;
            } else {
                ASSERT_FALSE(line.isEmpty()) << i;
                EXPECT_EQ(line.front(), QChar(0x3000)) << i;
                EXPECT_NE(line.at(1), QChar(0x3000)) << i;
                EXPECT_FALSE(line.endsWith(QLatin1Char(' '))) << i;
            }
        }
    }
}

TEST(HelpPages, TextDetailsAreKeptAsWritten) {
    // Full-width digits and brackets, ASCII quotes inside a line.
    EXPECT_EQ(helpPage(1)->lines[3], QStringLiteral("　その際、全７桁の郵便番号をしますと直接該当の住所を表示し、"));
    EXPECT_EQ(helpPage(3)->lines[2],
              QStringLiteral("　可能です。（コピー先のソフト側で、\"ペースト\"作業を行なって下さい。）"));
    EXPECT_EQ(helpPage(6)->lines[3], QStringLiteral("　可能です。"));
    EXPECT_EQ(helpPage(7)->lines[5],
              QStringLiteral("　※灰色領域の\"常に手前で表示する\"と\"タイトルバーを外す\"については"));
    for (const HelpPageContent& page : helpPages())
        for (const QString& line : page.lines) {
            EXPECT_FALSE(line.contains(QChar(0xFF02))) << page.number;  // no full-width quote
            EXPECT_FALSE(line.contains(QLatin1Char('\n')));
        }
}

TEST(HelpPages, OutsideOneToSevenThereIsNoPage) {
    for (int n : {-1, 0, 8, 1000}) EXPECT_EQ(helpPage(n), nullptr) << n;
}

TEST(HelpPages, MemoTextIsTheLinesInOrder) {
    EXPECT_EQ(helpMemoText(*helpPage(4)),
              QStringLiteral("\n　住所から郵便番号を検索する事ができ、市町村の途中まででも\n"
                             "　該当する郵便番号を一覧として検索する事も可能です。\n"
                             "　※検索の際には、必ず都道府県からの入力が必要となります。"));
    for (const HelpPageContent& page : helpPages())
        EXPECT_EQ(helpMemoText(page).split(QLatin1Char('\n')).size(), qsizetype(page.lines.size()));
}

TEST(HelpPages, PicturePathIsBesideTheExecutable) {
    EXPECT_EQ(helpPicturePath(QStringLiteral("/opt/tenmari"), *helpPage(7)),
              QStringLiteral("/opt/tenmari/Image/007.jpg"));
    EXPECT_EQ(helpPicturePath(QStringLiteral("/opt/tenmari/"), *helpPage(1)),
              QStringLiteral("/opt/tenmari/Image/001.jpg"));
}

// Turning pages only with enabled buttons, from the first opening (both
// buttons enabled, page 1): every reachable state keeps the page in 1..7,
// disables exactly the button that would leave it, and enables the other.
TEST(HelpPages, PageButtonsNeverLeadOutsideTheManual) {
    using State = std::tuple<int, bool, bool>;  // page, back, front
    auto show = [](int number, bool back, bool front) {
        const HelpPageContent* page = helpPage(number);
        return State{number, applyButtonEffect(page->back, back), applyButtonEffect(page->front, front)};
    };
    std::set<State> seen;
    std::vector<State> todo{show(1, true, true)};
    while (!todo.empty()) {
        const State s = todo.back();
        todo.pop_back();
        if (!seen.insert(s).second) continue;
        const auto [page, back, front] = s;
        ASSERT_GE(page, 1);
        ASSERT_LE(page, kHelpPageCount);
        EXPECT_EQ(back, page > 1) << page;
        EXPECT_EQ(front, page < kHelpPageCount) << page;
        if (back) todo.push_back(show(page - 1, back, front));
        if (front) todo.push_back(show(page + 1, back, front));
    }
    EXPECT_EQ(seen.size(), std::size_t(kHelpPageCount));
}

TEST(HelpPages, ButtonEffect) {
    EXPECT_TRUE(applyButtonEffect(ButtonEffect::Enable, false));
    EXPECT_FALSE(applyButtonEffect(ButtonEffect::Disable, true));
    EXPECT_TRUE(applyButtonEffect(ButtonEffect::Unchanged, true));
    EXPECT_FALSE(applyButtonEffect(ButtonEffect::Unchanged, false));
}

// ---------------------------------------------------------------- encoding

using PixelFn = std::function<void(int x, int y, JSAMPLE* out)>;

struct Encoding {
    J_COLOR_SPACE input = JCS_RGB;
    int components = 3;
    bool progressive = false;
    bool adobeMarker = true;  // CMYK only: libjpeg writes it by default
    int quality = 95;
    std::vector<jpeg_scan_info> scans;  // a scan script of its own
};

struct EncodeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void encodeFailed(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<EncodeError*>(cinfo->err)->jump, 1);
}

// Compresses to a QByteArray; empty when libjpeg refused.
QByteArray encodeJpeg(int width, int height, const Encoding& e, const PixelFn& pixel) {
    struct State {
        jpeg_compress_struct cinfo{};
        EncodeError err{};
        unsigned char* out = nullptr;
        unsigned long size = 0;
        std::vector<JSAMPLE> row;
        int y = 0;
    };
    auto s = std::make_unique<State>();
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = encodeFailed;
    if (setjmp(s->err.jump)) {
        jpeg_destroy_compress(&s->cinfo);
        std::free(s->out);
        return {};
    }
    jpeg_create_compress(&s->cinfo);
    jpeg_mem_dest(&s->cinfo, &s->out, &s->size);
    s->cinfo.image_width = static_cast<JDIMENSION>(width);
    s->cinfo.image_height = static_cast<JDIMENSION>(height);
    s->cinfo.input_components = e.components;
    s->cinfo.in_color_space = e.input;
    jpeg_set_defaults(&s->cinfo);
    if (e.input == JCS_CMYK && !e.adobeMarker) {
        jpeg_set_colorspace(&s->cinfo, JCS_CMYK);
        s->cinfo.write_Adobe_marker = FALSE;
    }
    jpeg_set_quality(&s->cinfo, e.quality, TRUE);
    if (e.progressive) jpeg_simple_progression(&s->cinfo);
    if (!e.scans.empty()) {
        s->cinfo.scan_info = e.scans.data();
        s->cinfo.num_scans = static_cast<int>(e.scans.size());
    }
    jpeg_start_compress(&s->cinfo, TRUE);
    s->row.resize(static_cast<std::size_t>(width * e.components));
    for (s->y = 0; s->y < height; ++s->y) {
        for (int x = 0; x < width; ++x) pixel(x, s->y, &s->row[static_cast<std::size_t>(x * e.components)]);
        JSAMPROW rows[1] = {s->row.data()};
        jpeg_write_scanlines(&s->cinfo, rows, 1);
    }
    jpeg_finish_compress(&s->cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(s->out), static_cast<qsizetype>(s->size));
    jpeg_destroy_compress(&s->cinfo);
    std::free(s->out);
    return bytes;
}

// Solid 32 x 32 tiles, so that compression barely touches the tile centres.
QRgb tileColour(int x, int y) {
    const int tx = x / 32, ty = y / 32;
    return qRgb((tx * 40 + 20) % 256, (ty * 50 + 30) % 256, ((tx + ty) * 70 + 10) % 256);
}

PixelFn rgbTiles() {
    return [](int x, int y, JSAMPLE* out) {
        const QRgb c = tileColour(x, y);
        out[0] = static_cast<JSAMPLE>(qRed(c));
        out[1] = static_cast<JSAMPLE>(qGreen(c));
        out[2] = static_cast<JSAMPLE>(qBlue(c));
    };
}

PixelFn grayTiles() {
    return [](int x, int y, JSAMPLE* out) { *out = static_cast<JSAMPLE>(qGreen(tileColour(x, y))); };
}

PixelFn solid(QRgb c) {
    return [c](int, int, JSAMPLE* out) {
        out[0] = static_cast<JSAMPLE>(qRed(c));
        out[1] = static_cast<JSAMPLE>(qGreen(c));
        out[2] = static_cast<JSAMPLE>(qBlue(c));
    };
}

// Offset of the first marker `code` (FF code), or -1.
qsizetype findMarker(const QByteArray& bytes, int code, qsizetype from = 0) {
    for (qsizetype i = from; i + 1 < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && static_cast<unsigned char>(bytes[i + 1]) == code) return i;
    return -1;
}

// Offset of the first entropy-coded byte after the first SOS segment.
qsizetype scanDataStart(const QByteArray& bytes) {
    const qsizetype sos = findMarker(bytes, 0xDA);
    if (sos < 0) return -1;
    const int length = (static_cast<unsigned char>(bytes[sos + 2]) << 8) | static_cast<unsigned char>(bytes[sos + 3]);
    return sos + 2 + length;
}

// Declares another size in the frame header (SOF0/1/2).
void declareSize(QByteArray& bytes, int width, int height) {
    qsizetype sof = -1;
    for (int code : {0xC0, 0xC1, 0xC2})
        if ((sof = findMarker(bytes, code)) >= 0) break;
    ASSERT_GE(sof, 0);
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height & 0xFF);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width & 0xFF);
}

QString jpegError(int code) { return QStringLiteral("JPEG エラー #%1").arg(code); }

// The reasons in the window's language, whatever the system's locale.
QString openError(const QString& path, int err) {
    const std::map<int, QString> reasons = {
        {ENOENT, QStringLiteral("ファイルがありません")},
        {EISDIR, QStringLiteral("フォルダーです")},
        {EACCES, QStringLiteral("アクセスが許可されていません")},
        {EIO, QStringLiteral("入出力エラーが発生しました")},
    };
    return QStringLiteral("ファイル \"%1\". %2 は開けません").arg(path, reasons.at(err));
}

// Either a picture of `size` and no message, or a decoding message and no
// picture; never anything else.
::testing::AssertionResult wellFormed(const JpegResult& r, QSize size) {
    static const QRegularExpression decodeMessage(QStringLiteral("^JPEG エラー #\\d+$"));
    if (r.ok()) {
        if (r.image.size() != size || r.image.format() != QImage::Format_RGB32)
            return ::testing::AssertionFailure() << "picture of unexpected size or format";
        return ::testing::AssertionSuccess();
    }
    if (!r.image.isNull()) return ::testing::AssertionFailure() << "picture along with " << r.error.toStdString();
    if (!decodeMessage.match(r.error).hasMatch())
        return ::testing::AssertionFailure() << "unexpected message " << r.error.toStdString();
    return ::testing::AssertionSuccess();
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

class JpegPictureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        // A new file each time: truncating one makes ext4 flush it to disk.
        QFile::remove(path);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    JpegResult load(const QByteArray& bytes, QSize keep = QSize(273, 266)) {
        return loadJpegPicture(write(QStringLiteral("picture.jpg"), bytes), keep);
    }

    // Every tile centre inside the image matches the tile's colour.
    void expectTiles(const QImage& image, bool gray, int tolerance = 6) {
        for (int y = 16; y < image.height(); y += 32)
            for (int x = 16; x < image.width(); x += 32) {
                QRgb want = tileColour(x, y);
                if (gray) want = qRgb(qGreen(want), qGreen(want), qGreen(want));
                ASSERT_LE(channelDistance(image.pixel(x, y), want), tolerance) << x << "," << y;
            }
    }

    QTemporaryDir dir;
};

// ---------------------------------------------------------------- decoding

TEST_F(JpegPictureTest, ColourAndGrayPicturesAreDecodedAndCut) {
    struct Case {
        const char* name;
        int width, height;
        bool gray;
        bool progressive;
    };
    const Case cases[] = {
        {"colour, larger", 700, 600, false, false},
        {"colour, smaller", 100, 50, false, false},
        {"colour, exactly the frame", 273, 266, false, false},
        {"colour, wide and short", 1000, 40, false, false},
        {"colour, narrow and tall", 30, 900, false, false},
        {"gray, larger", 500, 400, true, false},
        {"gray, smaller", 64, 64, true, false},
        {"progressive colour, larger", 600, 500, false, true},
        {"progressive gray, smaller", 120, 90, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Encoding e;
        if (c.gray) {
            e.input = JCS_GRAYSCALE;
            e.components = 1;
        }
        e.progressive = c.progressive;
        const QByteArray bytes = encodeJpeg(c.width, c.height, e, c.gray ? grayTiles() : rgbTiles());
        ASSERT_FALSE(bytes.isEmpty());
        const JpegResult r = load(bytes);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(r.image.format(), QImage::Format_RGB32);
        EXPECT_EQ(r.image.size(), QSize(std::min(c.width, 273), std::min(c.height, 266)));
        expectTiles(r.image, c.gray);
    }
}

TEST_F(JpegPictureTest, KeepAreaIsChosenByTheCaller) {
    const QByteArray bytes = encodeJpeg(200, 200, Encoding{}, rgbTiles());
    const JpegResult small = load(bytes, QSize(40, 20));
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small.image.size(), QSize(40, 20));
    expectTiles(small.image, false);
    const JpegResult none = load(bytes, QSize(0, -5));  // a side below 1 counts as 1
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(none.image.size(), QSize(1, 1));
}

TEST_F(JpegPictureTest, CmykPicturesComeOutInRgb) {
    // Red, green, blue, black and white tiles in ink terms (C, M, Y, K).
    struct Tile {
        QRgb rgb;
        int c, m, y, k;
    };
    const Tile tiles[] = {
        {qRgb(255, 0, 0), 0, 255, 255, 0}, {qRgb(0, 255, 0), 255, 0, 255, 0}, {qRgb(0, 0, 255), 255, 255, 0, 0},
        {qRgb(0, 0, 0), 0, 0, 0, 255},     {qRgb(255, 255, 255), 0, 0, 0, 0},
    };
    for (bool adobe : {true, false}) {
        SCOPED_TRACE(adobe ? "Adobe (inverted)" : "plain CMYK");
        Encoding e;
        e.input = JCS_CMYK;
        e.components = 4;
        e.adobeMarker = adobe;
        const QByteArray bytes = encodeJpeg(5 * 32, 32, e, [&](int x, int, JSAMPLE* out) {
            const Tile& t = tiles[x / 32];
            const int ink[4] = {t.c, t.m, t.y, t.k};
            for (int i = 0; i < 4; ++i) out[i] = static_cast<JSAMPLE>(adobe ? 255 - ink[i] : ink[i]);
        });
        ASSERT_FALSE(bytes.isEmpty());
        const JpegResult r = load(bytes);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        ASSERT_EQ(r.image.size(), QSize(160, 32));
        for (int i = 0; i < 5; ++i) EXPECT_LE(channelDistance(r.image.pixel(i * 32 + 16, 16), tiles[i].rgb), 8) << i;
    }
}

TEST_F(JpegPictureTest, ComponentsOfUnknownMeaningAreAnError) {
    Encoding e;
    e.input = JCS_UNKNOWN;
    e.components = 2;
    const QByteArray bytes = encodeJpeg(16, 16, e, [](int, int, JSAMPLE* out) { out[0] = out[1] = 100; });
    ASSERT_FALSE(bytes.isEmpty());
    const JpegResult r = load(bytes);
    EXPECT_EQ(r.error, jpegError(JERR_CONVERSION_NOTIMPL));
    EXPECT_TRUE(r.image.isNull());
}

TEST_F(JpegPictureTest, HarmlessOdditiesStillShowThePicture) {
    const QByteArray clean = encodeJpeg(64, 64, Encoding{}, solid(qRgb(10, 200, 90)));
    // Stray bytes between two segments.
    QByteArray stray = clean;
    stray.insert(findMarker(stray, 0xDB), QByteArray("garbage"));
    // An unknown JFIF major revision.
    QByteArray jfif = clean;
    ASSERT_EQ(jfif.mid(6, 5), QByteArray("JFIF\0", 5));
    jfif[11] = 2;
    for (const QByteArray& bytes : {stray, jfif}) {
        const JpegResult r = load(bytes);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_LE(channelDistance(r.image.pixel(30, 30), qRgb(10, 200, 90)), 6);
    }
}

// Only the kept rows are decoded; the rest of the file is not even read,
// so a picture whose damage lies below them still shows.
TEST_F(JpegPictureTest, DamageBelowTheKeptRowsDoesNotMatter) {
    const QByteArray bytes = encodeJpeg(300, 2000, Encoding{}, rgbTiles());
    const JpegResult r = load(bytes.left(bytes.size() / 2));
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.image.size(), QSize(273, 266));
    expectTiles(r.image, false);
}

TEST_F(JpegPictureTest, VeryWideAndVeryTallPicturesDecodeOnlyTheCorner) {
    for (const QSize size : {QSize(65000, 300), QSize(48, 65000)}) {
        SCOPED_TRACE(size.width());
        const QByteArray bytes = encodeJpeg(size.width(), size.height(), Encoding{}, rgbTiles());
        ASSERT_FALSE(bytes.isEmpty());
        const JpegResult r = load(bytes);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(r.image.size(), size.boundedTo(QSize(273, 266)));
        expectTiles(r.image, false);
    }
}

// ---------------------------------------------------------------- files

TEST_F(JpegPictureTest, MissingFileNamesTheFullPathAndTheReason) {
    const QString path = dir.filePath(QStringLiteral("Image/001.jpg"));
    const JpegResult r = loadJpegPicture(path);
    EXPECT_EQ(r.error, openError(path, ENOENT));
    EXPECT_TRUE(r.image.isNull());
}

TEST_F(JpegPictureTest, RelativePathIsReportedInFull) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const JpegResult r = loadJpegPicture(QStringLiteral("Image/002.jpg"));
    QDir::setCurrent(before);
    EXPECT_EQ(r.error, openError(QDir(dir.path()).absoluteFilePath(QStringLiteral("Image/002.jpg")), ENOENT));
}

TEST_F(JpegPictureTest, FolderIsNotAPicture) {
    const QString path = dir.filePath(QStringLiteral("001.jpg"));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(loadJpegPicture(path).error, openError(path, EISDIR));
}

TEST_F(JpegPictureTest, PipeIsRefusedWithoutWaiting) {
    const QString path = dir.filePath(QStringLiteral("001.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // A reader of a pipe without writer would block here for ever.
    const JpegResult r = loadJpegPicture(path);
    EXPECT_EQ(r.error, QStringLiteral("ファイル \"%1\". 通常のファイルではありません は開けません").arg(path));
}

TEST_F(JpegPictureTest, UnreadableFileNamesTheSystemsReason) {
    const QString path = write(QStringLiteral("001.jpg"), encodeJpeg(8, 8, Encoding{}, solid(qRgb(1, 2, 3))));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(loadJpegPicture(path).error, openError(path, EACCES));
        return;
    }
    // Root reads anything: ask as an ordinary user in a child process.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        const QByteArray text = loadJpegPicture(path).error.toUtf8();
        const bool written = ::write(fds[1], text.constData(), static_cast<std::size_t>(text.size())) == text.size();
        ::_exit(written ? 0 : 3);
    }
    ::close(fds[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<qsizetype>(n));
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot become an ordinary user";
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(QString::fromUtf8(text), openError(path, EACCES));
}

TEST_F(JpegPictureTest, ReadErrorIsAFileErrorNotAJpegError) {
    // Reading this process's memory from address 0 fails with EIO.
    const QString path = QStringLiteral("/proc/self/mem");
    if (!QFile::exists(path)) GTEST_SKIP() << "no /proc";
    EXPECT_EQ(loadJpegPicture(path).error, openError(path, EIO));
}

TEST_F(JpegPictureTest, EmptyAndForeignFilesAreJpegErrors) {
    EXPECT_EQ(load(QByteArray()).error, jpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(load(QByteArray("GIF89a not a jpeg at all")).error, jpegError(JERR_NO_SOI));
    EXPECT_EQ(load(QByteArray("\xFF\xD8\xFF\xD9", 4)).error, jpegError(JERR_NO_IMAGE));
    const JpegResult r = load(QByteArray(100000, '\0'));
    EXPECT_EQ(r.error, jpegError(JERR_NO_SOI));
    EXPECT_TRUE(r.image.isNull());
}

// ---------------------------------------------------------------- damage

TEST_F(JpegPictureTest, TruncatedAnywhereIsAnErrorOrTheWholePicture) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        Encoding e;
        e.progressive = progressive;
        const QByteArray bytes = encodeJpeg(96, 80, e, rgbTiles());
        const qsizetype data = scanDataStart(bytes);
        ASSERT_GT(data, 0);
        for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
            const JpegResult r = load(bytes.left(cut));
            ASSERT_TRUE(wellFormed(r, QSize(96, 80))) << cut;
            // A header without its end leaves libjpeg at the end of the file.
            if (cut < data) {
                ASSERT_EQ(r.error, jpegError(JWRN_JPEG_EOF)) << cut;
            }
            // Half the picture's data is never a whole picture.
            if (cut < bytes.size() / 2) {
                ASSERT_FALSE(r.ok()) << cut;
            }
            if (r.ok()) expectTiles(r.image, false);
        }
    }
}

TEST_F(JpegPictureTest, CorruptBytesNeverCrash) {
    std::mt19937 random(20240611);
    for (bool progressive : {false, true}) {
        Encoding e;
        e.progressive = progressive;
        const QByteArray clean = encodeJpeg(320, 300, e, rgbTiles());
        const qsizetype data = scanDataStart(clean);
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = clean;
            // Mostly the image data, sometimes the headers too.
            const qsizetype from = round % 5 == 0 ? 2 : data;
            std::uniform_int_distribution<qsizetype> at(from, bytes.size() - 3);
            const int count = 1 + round % 8;
            for (int i = 0; i < count; ++i) bytes[at(random)] = static_cast<char>(random() & 0xFF);
            const JpegResult r = load(bytes);
            if (r.ok()) {
                EXPECT_FALSE(r.image.isNull());
                EXPECT_LE(r.image.width(), 273);
                EXPECT_LE(r.image.height(), 266);
            } else {
                ASSERT_TRUE(wellFormed(r, {})) << round;
            }
        }
    }
}

TEST_F(JpegPictureTest, MarkerInsideTheDataIsReported) {
    // A marker where data should be: corrupt, reported rather than shown.
    QByteArray bytes = encodeJpeg(256, 256, Encoding{}, rgbTiles());
    const qsizetype data = scanDataStart(bytes);
    bytes[data + 40] = static_cast<char>(0xFF);
    bytes[data + 41] = static_cast<char>(0xD3);
    const JpegResult r = load(bytes);
    ASSERT_TRUE(wellFormed(r, QSize(256, 256)));
    EXPECT_FALSE(r.ok());
}

TEST_F(JpegPictureTest, HugeDeclaredSizeIsBoundedOrRefused) {
    // Baseline: only the corner's rows are decoded, and they are missing.
    QByteArray baseline = encodeJpeg(16, 16, Encoding{}, solid(qRgb(200, 0, 0)));
    declareSize(baseline, 65500, 65500);
    const JpegResult r1 = load(baseline);
    ASSERT_TRUE(wellFormed(r1, QSize(273, 266)));
    EXPECT_FALSE(r1.ok());

    // Progressive: the whole picture would have to be held in memory.
    Encoding e;
    e.progressive = true;
    QByteArray progressive = encodeJpeg(16, 16, e, solid(qRgb(200, 0, 0)));
    declareSize(progressive, 60000, 60000);
    EXPECT_EQ(load(progressive).error, jpegError(JERR_NO_BACKING_STORE));

    // Beyond libjpeg's own limit of 65500.
    QByteArray tooBig = encodeJpeg(16, 16, Encoding{}, solid(qRgb(200, 0, 0)));
    declareSize(tooBig, 65535, 16);
    EXPECT_EQ(load(tooBig).error, jpegError(JERR_IMAGE_TOO_BIG));

    QByteArray zero = encodeJpeg(16, 16, Encoding{}, solid(qRgb(200, 0, 0)));
    declareSize(zero, 16, 0);
    EXPECT_EQ(load(zero).error, jpegError(JERR_EMPTY_IMAGE));
}

// A grayscale script of one DC scan and one scan per AC coefficient at
// `passes` levels of precision.
std::vector<jpeg_scan_info> manyScans(int passes) {
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0, 0, 0, 0}, 0, 0, 0, 0});
    for (int pass = 0; pass < passes; ++pass) {
        const int al = passes - 1 - pass;
        const int ah = pass == 0 ? 0 : al + 1;
        for (int k = 1; k <= 63; ++k) scans.push_back({1, {0, 0, 0, 0}, k, k, ah, al});
    }
    return scans;
}

TEST_F(JpegPictureTest, ProgressivePicturesWithEndlessScansAreRefused) {
    Encoding e;
    e.input = JCS_GRAYSCALE;
    e.components = 1;
    e.scans = manyScans(1);  // 64 scans: shown
    const JpegResult fine = load(encodeJpeg(64, 64, e, grayTiles()));
    ASSERT_TRUE(fine.ok()) << fine.error.toStdString();
    expectTiles(fine.image, true);

    e.scans = manyScans(2);  // 127 scans: refused
    const QByteArray bytes = encodeJpeg(64, 64, e, grayTiles());
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(load(bytes).error, jpegError(JERR_NOTIMPL));
}

}  // namespace
}  // namespace tenmari
