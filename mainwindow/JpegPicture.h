#pragma once
// Help pictures: a JPEG file decoded with libjpeg into an image, of which
// only the top-left corner is kept. Decoding failures come back as the
// message the user is shown; the process never exits.

#include <QImage>
#include <QSize>
#include <QString>

namespace tenmari {

struct JpegResult {
    // The picture's top-left corner, at most `keep` in size, in
    // QImage::Format_RGB32; null on failure.
    QImage image;
    // Empty on success; otherwise the user's message:
    //   ファイル "PATH". REASON は開けません  the file cannot be opened or
    //       read (missing, no permission, a folder, not a regular file, a
    //       read error); PATH is the full path, REASON the system's text.
    //   JPEG エラー #N  the file is not a JPEG picture this program can show;
    //       N is libjpeg's message code.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Decodes `path`. Only the rows and columns inside `keep` are kept (a side
// below 1 counts as 1); rows below them are not decoded and the rest of the
// file is not read, so a large picture costs no more than a small one.
//
// Damaged data inside the kept rows (a file that ends early, corrupt entropy
// data, a broken progression) is an error, never a half-grey picture; data
// that libjpeg merely frowns on (stray bytes between markers, an unknown
// JFIF revision or Adobe transform, a bad ICC marker) is shown. Grayscale,
// RGB, YCbCr, CMYK and YCCK pictures (Adobe's inverted CMYK included) are
// converted to RGB. Pictures that need a whole-image buffer (progressive or
// multi-scan) are refused beyond kJpegMemoryLimit bytes of decoder memory
// (JPEG エラー #JERR_NO_BACKING_STORE) and beyond kJpegMaxScans scans
// (JPEG エラー #JERR_NOTIMPL), so that no file can exhaust memory or time.
JpegResult loadJpegPicture(const QString& path, QSize keep = QSize(273, 266));

inline constexpr long kJpegMemoryLimit = 128L * 1024 * 1024;
inline constexpr int kJpegMaxScans = 100;

}  // namespace tenmari
