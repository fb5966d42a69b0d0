#include "Cp932.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace tenmari {
namespace {

// One converter per direction and thread; iconv_open loads a module, so it is
// worth keeping, and iconv state is reset before every conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw EncodingError(std::string("no converter from ") + from + " to " + to + ": " +
                                std::strerror(errno));
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string convert(std::string_view in, const char* what) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.resize(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        std::size_t done = 0;
        while (true) {
            char* dst = out.data() + done;
            std::size_t dstLeft = out.size() - done;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            done = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                // A non-reversible conversion counts as a failure: nothing is
                // ever substituted silently.
                if (rc > 0) {
                    throw EncodingError(std::string(what) + ": text has characters without an exact equivalent");
                }
                break;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            const std::size_t at = in.size() - srcLeft;
            throw EncodingError(std::string(what) + ": cannot convert the byte at offset " + std::to_string(at));
        }
        out.resize(done);
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string utf8ToCp932(std::string_view utf8) {
    thread_local Converter conv("CP932", "UTF-8");
    return conv.convert(utf8, "UTF-8 to code page 932");
}

std::string cp932ToUtf8(std::string_view cp932) {
    thread_local Converter conv("UTF-8", "CP932");
    return conv.convert(cp932, "code page 932 to UTF-8");
}

std::size_t cp932Length(std::string_view utf8) { return utf8ToCp932(utf8).size(); }

}  // namespace tenmari
