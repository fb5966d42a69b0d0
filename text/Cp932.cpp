#include "Cp932.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace tenmari {
namespace {

// One converter per direction and thread; iconv_open loads a module, so it is
// worth keeping, and iconv state is reset before every conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw EncodingError(std::string("no converter from ") + from + " to " + to + ": " + std::strerror(errno));
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The converted text in `out`; false, with the offset of the first input
    // byte not converted in `stop`, when the text does not convert exactly.
    bool run(std::string_view in, std::string& out, std::size_t& stop) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
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
                out.resize(done);
                // A non-reversible conversion counts as a failure: nothing is
                // ever substituted silently.
                stop = rc > 0 ? std::string_view::npos : in.size();
                return rc == 0;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            out.resize(done);
            stop = in.size() - srcLeft;
            return false;
        }
    }

    std::string convert(std::string_view in, const char* what) {
        std::string out;
        std::size_t stop = 0;
        if (!run(in, out, stop)) {
            if (stop == std::string_view::npos) {
                throw EncodingError(std::string(what) + ": text has characters without an exact equivalent");
            }
            throw EncodingError(std::string(what) + ": cannot convert the byte at offset " + std::to_string(stop));
        }
        return out;
    }

private:
    iconv_t cd_;
};

// One code page 932 character in both forms the program writes: its UTF-8
// bytes for bulk output and its UTF-16 unit for the window (code page 932 has
// no character outside the basic plane). `size` is 0 and `unit` the
// replacement where the table does not hold the sequence (not a character, or
// not one the tables were sure of): then the converter itself must decide.
struct TableChar {
    char bytes[3];
    unsigned char size;  // of `bytes`; the first four bytes are copied as one
    char16_t unit;
};
static_assert(sizeof(TableChar) == 6 && offsetof(TableChar, unit) == 4);
inline constexpr TableChar kNotHeld{{}, 0, kReplacementChar};

std::array<TableChar, 0x100> notHeldSingles() {
    std::array<TableChar, 0x100> a;
    a.fill(kNotHeld);
    return a;
}

// The one decoding table: every character of code page 932 as iconv converts
// it, the single bytes at once, a lead byte's row of characters when it is
// first met, each in one conversion, one by one only around gaps. Both the
// bulk UTF-8 output and the window's UTF-16 text are read from it.
class DecodeTable {
public:
    static DecodeTable& instance() {
        static DecodeTable table;
        return table;
    }
    ~DecodeTable() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    DecodeTable(const DecodeTable&) = delete;
    DecodeTable& operator=(const DecodeTable&) = delete;

    const TableChar& single(unsigned char c) const { return single_[c]; }
    // Whether every ASCII byte is itself, as it is in code page 932.
    bool asciiSame() const { return asciiSame_; }
    // `lead` must be a lead byte.
    const TableChar& pair(unsigned char lead, unsigned char trail) {
        const unsigned r = row(lead);
        if (!ready_[r].load(std::memory_order_acquire)) fillRow(lead);
        return double_[r << 8 | trail];
    }

private:
    static unsigned row(unsigned char lead) { return lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 31u; }

    // Byte sequences to convert, one after another in `bytes`, and where each one's text goes.
    struct Units {
        std::string bytes;
        std::vector<std::size_t> starts;
        std::vector<TableChar*> slots;
        void add(std::string_view seq, TableChar* slot) {
            starts.push_back(bytes.size());
            bytes.append(seq);
            slots.push_back(slot);
        }
        std::size_t end(std::size_t k) const { return k + 1 < starts.size() ? starts[k + 1] : bytes.size(); }
    };

    // Without a converter the tables stay empty: cp932ToUtf8 decides everything.
    DecodeTable() : cd_(iconv_open("UTF-8", "CP932")), double_(60 * 256, kNotHeld) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return;
        Units units;
        for (int c = 0; c < 0x100; ++c) {
            const auto b = static_cast<unsigned char>(c);
            if (!isLeadByte(b)) units.add(std::string(1, static_cast<char>(b)), &single_[b]);
        }
        fill(units);
        asciiSame_ = true;
        for (int c = 0; c < 0x80; ++c) {
            asciiSame_ = asciiSame_ && single_[static_cast<std::size_t>(c)].size == 1 &&
                         single_[static_cast<std::size_t>(c)].bytes[0] == static_cast<char>(c);
        }
    }

    [[gnu::noinline, gnu::cold]] void fillRow(unsigned char lead) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const unsigned r = row(lead);
        if (ready_[r].load(std::memory_order_relaxed)) return;
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            Units units;
            for (int t = 0x40; t <= 0xFC; ++t) {
                const auto tb = static_cast<unsigned char>(t);
                if (!isTrailByte(tb)) continue;
                const char seq[2] = {static_cast<char>(lead), static_cast<char>(tb)};
                units.add(std::string_view(seq, 2), &double_[r << 8 | tb]);
            }
            fill(units);
        }
        ready_[r].store(true, std::memory_order_release);
    }

    void fill(const Units& u) {
        std::string out;
        for (std::size_t k = 0; k < u.starts.size();) k = convertRun(cd_, u, k, u.starts.size(), out);
    }

    // Converts units [k, n) in one go where it can. Returns the first unit
    // not looked at: the one iconv stopped at is left unknown.
    static std::size_t convertRun(iconv_t cd, const Units& u, std::size_t k, std::size_t n, std::string& out) {
        const std::size_t from = u.starts[k];
        const std::size_t to = u.end(n - 1);
        char* src = const_cast<char*>(u.bytes.data()) + from;
        std::size_t srcLeft = to - from;
        out.resize(srcLeft * 4 + 16);
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const std::size_t stop = to - srcLeft;
        out.resize(out.size() - dstLeft);
        // Units wholly converted before the stop.
        std::size_t done = k;
        while (done < n && u.end(done) <= stop) ++done;
        const bool clean = rc != static_cast<std::size_t>(-1) ? rc == 0 : (errno == EILSEQ || errno == EINVAL);
        // Each unit must come out as one character; otherwise look at them one by one.
        std::size_t chars = 0;
        for (const char ch : out) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        if (!clean || chars != done - k || (done < n && stop != u.starts[done])) {
            for (std::size_t j = k; j < done; ++j) convertOne(cd, u, j);
        } else {
            std::size_t at = 0;
            for (std::size_t j = k; j < done; ++j) {
                std::size_t len = 1;
                while (at + len < out.size() && (static_cast<unsigned char>(out[at + len]) & 0xC0) == 0x80) ++len;
                store(u.slots[j], std::string_view(out).substr(at, len));
                at += len;
            }
        }
        return done < n ? done + 1 : n;
    }

    static void convertOne(iconv_t cd, const Units& u, std::size_t j) {
        char* src = const_cast<char*>(u.bytes.data()) + u.starts[j];
        std::size_t srcLeft = u.end(j) - u.starts[j];
        char buf[16];
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == 0 && srcLeft == 0) {
            store(u.slots[j], std::string_view(buf, sizeof buf - dstLeft));
        }
    }

    static void store(TableChar* slot, std::string_view utf8) {
        if (utf8.empty() || utf8.size() > sizeof slot->bytes) return;
        const auto b = [&](std::size_t i) { return static_cast<char16_t>(static_cast<unsigned char>(utf8[i])); };
        switch (utf8.size()) {
        case 1: slot->unit = b(0); break;
        case 2: slot->unit = static_cast<char16_t>((b(0) & 0x1F) << 6 | (b(1) & 0x3F)); break;
        default: slot->unit = static_cast<char16_t>((b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F)); break;
        }
        std::memcpy(slot->bytes, utf8.data(), utf8.size());
        slot->size = static_cast<unsigned char>(utf8.size());
    }

    iconv_t cd_;
    std::mutex mutex_;  // row filling
    std::array<TableChar, 0x100> single_ = notHeldSingles();
    std::vector<TableChar> double_;  // 60 lead-byte rows of 256 trail bytes
    std::array<std::atomic<bool>, 60> ready_{};
    bool asciiSame_ = false;
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

namespace {

// What the tables do not hold: the converter decides, also what the error says.
[[gnu::noinline, gnu::cold]] char* convertWhole(std::string_view cp932, char* out) {
    const std::string utf8 = cp932ToUtf8(cp932);
    if (utf8.size() > utf8Room(cp932.size())) {
        throw EncodingError("code page 932 to UTF-8: a character converts to more bytes than room was made for");
    }
    std::memcpy(out, utf8.data(), utf8.size());
    return out + utf8.size();
}

}  // namespace

char* cp932ToUtf8(std::string_view cp932, char* out) {
    DecodeTable& table = DecodeTable::instance();
    const bool asciiSame = table.asciiSame();
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const auto* const end = p + cp932.size();
    char* o = out;
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80 && asciiSame) {
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        const TableChar* ch;
        std::size_t len = 1;
        if (isLeadByte(c)) {
            if (end - p < 2) break;
            ch = &table.pair(c, p[1]);
            len = 2;
        } else {
            ch = &table.single(c);
        }
        if (ch->size == 0) break;
        // The entry's first four bytes in one copy (the UTF-8 bytes and their
        // count); four always fit: each input byte leaves room for three.
        std::memcpy(o, ch, 4);
        o += ch->size;
        p += len;
    }
    return p == end ? o : convertWhole(cp932, out);
}

char16_t* cp932ToUtf16(std::string_view cp932, char16_t* out) {
    DecodeTable& table = DecodeTable::instance();
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const auto* const end = p + cp932.size();
    while (p < end) {
        const unsigned char c = *p;
        if (isLeadByte(c)) {
            // A lead byte without its trail byte stands alone for one replacement.
            if (p + 1 < end && isTrailByte(p[1])) {
                *out++ = table.pair(c, p[1]).unit;
                p += 2;
            } else {
                *out++ = kReplacementChar;
                ++p;
            }
        } else {
            *out++ = table.single(c).unit;
            ++p;
        }
    }
    return out;
}

namespace {

// Bytes of the UTF-8 sequence at `at`; 1 for a byte that begins none.
std::size_t utf8SequenceAt(std::string_view s, std::size_t at) {
    const auto c = static_cast<unsigned char>(s[at]);
    const std::size_t n = c < 0x80                 ? 1
                          : c >= 0xC2 && c <= 0xDF ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n == 0 || at + n > s.size()) return 1;
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[at + i]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

constexpr std::string_view kYenSign = "\xC2\xA5";

}  // namespace

Cp932Form toCp932Form(std::string_view utf8) {
    thread_local Converter conv("CP932", "UTF-8");
    Cp932Form form;
    std::size_t stop = 0;
    if (utf8.find(kYenSign) == std::string_view::npos && conv.run(utf8, form.bytes, stop)) return form;
    // One character at a time: each converts, or takes the stand-in.
    form.bytes.clear();
    std::string one;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = utf8SequenceAt(utf8, i);
        const std::string_view ch = utf8.substr(i, n);
        if (ch == kYenSign) {
            form.bytes += '\\';
        } else if (conv.run(ch, one, stop)) {
            form.bytes += one;
        } else {
            form.bytes += kNoFormStandIn;
            form.exact = false;
        }
        i += n;
    }
    return form;
}

std::size_t cp932Length(std::string_view utf8) { return toCp932Form(utf8).bytes.size(); }

}  // namespace tenmari
