#include "JpegPicture.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

#include "SystemReason.h"

namespace tenmari {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;

QString fullPath(const QString& path) {
    return QDir::toNativeSeparators(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
}

QString openErrorText(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル \"%1\". %2 は開けません").arg(fullPath(path), reason);
}

// Everything the decoder touches lives here, in the caller's frame, so that
// a longjmp out of libjpeg leaves nothing half-destroyed.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errorManager{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    int errorCode = 0;  // libjpeg's message code of the failure
    int fd = -1;
    int readErrno = 0;  // set when the file itself could not be read
    bool readAnything = false;
    JOCTET* buffer = nullptr;
    JSAMPARRAY row = nullptr;
    int keepWidth = 0;
    int keepHeight = 0;
    QImage image;
};

Decoder& decoderOf(j_common_ptr cinfo) { return *static_cast<Decoder*>(cinfo->client_data); }

[[noreturn]] void failWithMessage(j_common_ptr cinfo) {
    Decoder& d = decoderOf(cinfo);
    d.errorCode = cinfo->err->msg_code;
    std::longjmp(d.jump, 1);
}

// Warnings about damaged image data end the decoding like errors: the user
// gets a message instead of a picture that is partly grey or garbled. The
// rest describe files that still decode correctly.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace output
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:  // stray bytes between segments
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC: ++cinfo->err->num_warnings; return;
    default: failWithMessage(cinfo);
    }
}

void noOutput(j_common_ptr) {}

// A progressive picture may hold any number of scans, each a pass over the
// whole coefficient buffer; a crafted file could keep the decoder busy for
// hours.
void onProgress(j_common_ptr cinfo) {
    const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kJpegMaxScans) ERREXIT(cinfo, JERR_NOTIMPL);
}

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    Decoder& d = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    ssize_t n;
    do {
        n = ::read(d.fd, d.buffer, kReadSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        d.readErrno = errno;
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (n == 0) {
        if (!d.readAnything) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // Not reached while the end of the file is an error; an end-of-image
        // marker lets libjpeg finish cleanly otherwise.
        d.buffer[0] = 0xFF;
        d.buffer[1] = JPEG_EOI;
        n = 2;
    }
    d.readAnything = true;
    d.source.next_input_byte = d.buffer;
    d.source.bytes_in_buffer = static_cast<std::size_t>(n);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    auto left = static_cast<std::size_t>(count);
    while (left > src->bytes_in_buffer) {
        left -= src->bytes_in_buffer;
        fillInput(cinfo);
    }
    src->next_input_byte += left;
    src->bytes_in_buffer -= left;
}

void termSource(j_decompress_ptr) {}

inline int product255(int a, int b) { return (a * b + 127) / 255; }

// Converts one decoded row into the kept columns of the image.
void storeRow(const jpeg_decompress_struct& cinfo, const JSAMPLE* in, QRgb* out, int width) {
    switch (cinfo.out_color_space) {
    case JCS_GRAYSCALE:
        for (int x = 0; x < width; ++x) out[x] = qRgb(in[x], in[x], in[x]);
        break;
    case JCS_RGB:
        for (int x = 0; x < width; ++x, in += 3) out[x] = qRgb(in[0], in[1], in[2]);
        break;
    case JCS_CMYK:
        // Adobe's files store CMYK inverted (255 is no ink); others store ink.
        for (int x = 0; x < width; ++x, in += 4) {
            int c = in[0], m = in[1], y = in[2], k = in[3];
            if (!cinfo.saw_Adobe_marker) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            out[x] = qRgb(product255(c, k), product255(m, k), product255(y, k));
        }
        break;
    default: break;
    }
}

// Returns false with d.errorCode set when libjpeg gave up. Keeps no state of
// its own across the setjmp: everything lives in `d`.
bool decode(Decoder& d) {
    j_decompress_ptr cinfo = &d.cinfo;
    cinfo->err = jpeg_std_error(&d.errorManager);
    d.errorManager.error_exit = failWithMessage;
    d.errorManager.emit_message = onMessage;
    d.errorManager.output_message = noOutput;
    cinfo->client_data = &d;
    if (setjmp(d.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);  // keeps err and client_data
    cinfo->mem->max_memory_to_use = kJpegMemoryLimit;

    d.buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kReadSize));
    d.source.init_source = initSource;
    d.source.fill_input_buffer = fillInput;
    d.source.skip_input_data = skipInput;
    d.source.resync_to_restart = jpeg_resync_to_restart;
    d.source.term_source = termSource;
    cinfo->src = &d.source;
    d.progress.progress_monitor = onProgress;
    cinfo->progress = &d.progress;

    jpeg_read_header(cinfo, TRUE);
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo->out_color_space = JCS_GRAYSCALE; break;
    case JCS_RGB:
    case JCS_YCbCr: cinfo->out_color_space = JCS_RGB; break;
    case JCS_CMYK:
    case JCS_YCCK: cinfo->out_color_space = JCS_CMYK; break;
    default:
        // Components of unknown meaning cannot be shown as colours.
        ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);
    }
    jpeg_start_decompress(cinfo);
    const int expected = cinfo->out_color_space == JCS_GRAYSCALE ? 1 : cinfo->out_color_space == JCS_RGB ? 3 : 4;
    if (cinfo->output_components != expected) ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);

    d.image = QImage(std::min(static_cast<int>(cinfo->output_width), d.keepWidth),
                     std::min(static_cast<int>(cinfo->output_height), d.keepHeight), QImage::Format_RGB32);
    if (d.image.isNull()) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    d.row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                        cinfo->output_width * static_cast<JDIMENSION>(expected), 1);
    while (cinfo->output_scanline < static_cast<JDIMENSION>(d.image.height())) {
        const int y = static_cast<int>(cinfo->output_scanline);
        if (jpeg_read_scanlines(cinfo, d.row, 1) != 1) ERREXIT(cinfo, JERR_CANT_SUSPEND);
        storeRow(d.cinfo, d.row[0], reinterpret_cast<QRgb*>(d.image.scanLine(y)), d.image.width());
    }
    // The rows below the kept ones are neither decoded nor read.
    jpeg_destroy_decompress(cinfo);
    return true;
}

}  // namespace

JpegResult loadJpegPicture(const QString& path, QSize keep) {
    JpegResult result;
    const QByteArray name = QFile::encodeName(path);
    if (name.contains('\0')) {
        result.error = openErrorText(path, systemReason(EINVAL));
        return result;
    }
    int fd;
    // Non-blocking, so that a pipe with no writer cannot hang the open.
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.error = openErrorText(path, systemReason(errno));
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result.error = openErrorText(path, systemReason(errno));
    } else if (S_ISDIR(st.st_mode)) {
        result.error = openErrorText(path, systemReason(EISDIR));
    } else if (!S_ISREG(st.st_mode)) {
        result.error = openErrorText(path, systemReason(kNotRegularFile));
    }
    if (!result.error.isEmpty()) {
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    auto decoder = std::make_unique<Decoder>();
    decoder->fd = fd;
    decoder->keepWidth = std::max(1, keep.width());
    decoder->keepHeight = std::max(1, keep.height());
    const bool decoded = decode(*decoder);
    ::close(fd);
    if (decoder->readErrno != 0) {
        result.error = openErrorText(path, systemReason(decoder->readErrno));
    } else if (!decoded) {
        result.error = QStringLiteral("JPEG エラー #%1").arg(decoder->errorCode);
    } else {
        result.image = std::move(decoder->image);
    }
    return result;
}

}  // namespace tenmari
