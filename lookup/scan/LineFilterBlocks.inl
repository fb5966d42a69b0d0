// The block pass of the line filter, included by LineFilter.cpp inside a
// namespace of its own, with
//   TENMARI_TARGET  the target attribute every function here is compiled with
// It takes a text in two steps per block of 16 KB: first the LFs of
// the whole block are found 64 bytes at a time and their offsets written to a
// list, then each line is looked at on its own, its probed field's comma
// picked out of the comma mask of its first 64 bytes (with kWide, of its
// bytes 32 to 95, the commas of the first 32 only counted). The lines do not
// wait on each other, so the processor works on several at once; the number of
// lines in a 64-byte chunk, which no branch predicts, decides nothing.

// Bit i set where byte i of the 64 at p is c.
TENMARI_TARGET inline std::uint64_t maskOf(const char* p, char c) {
    const __m256i v = _mm256_set1_epi8(c);
    const auto lo = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), v)));
    const auto hi = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), v)));
    return (std::uint64_t{hi} << 32) | lo;
}

// Bit i set where byte i of the 32 at p is c.
TENMARI_TARGET inline std::uint32_t maskOf32(const char* p, char c) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), _mm256_set1_epi8(c))));
}

// The LFs of the 64 bytes at p; a 0x1A among them leaves a mark in `subs`,
// looked at once per block, so that no branch waits on it.
using Marks = __m256i;
TENMARI_TARGET inline Marks noMarks() { return _mm256_setzero_si256(); }
TENMARI_TARGET inline bool marked(Marks subs) { return !_mm256_testz_si256(subs, subs); }
TENMARI_TARGET inline std::uint64_t lineEnds(const char* p, Marks& subs) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i z = _mm256_set1_epi8(kEndOfFile);
    subs = _mm256_or_si256(subs, _mm256_or_si256(_mm256_cmpeq_epi8(lo, z), _mm256_cmpeq_epi8(hi, z)));
    const __m256i nl = _mm256_set1_epi8('\n');
    return (std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, nl)))} << 32) |
           static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, nl)));
}

// The set bit of m that `seek` (a single bit, 1 << k) asks for: the (k+1)-th
// lowest; 0 when m has fewer. With kPdep by BMI2's bit deposit.
template <bool kPdep>
TENMARI_TARGET inline std::uint64_t selectBit(std::uint64_t seek, std::uint64_t m) {
    if constexpr (kPdep) {
        return _pdep_u64(seek, m);
    } else {
        for (std::uint64_t k = seek; k > 1; k >>= 1) m &= m - 1;
        return m & (0 - m);
    }
}

// What is done with each line: its probed field found, and the line kept
// unless the field surely does not begin with the query.
template <bool kPdep>
struct LineTest {
    const Probe& probe;
    int field;
    std::uint64_t seek;  // the probed field's comma among a line's commas, as a bit
    Quick quick;
    const char* readable;  // a line's window is loaded only before this
    std::vector<Span>& out;

    // Keeps the line [s, lf) unless its probed field surely does not begin
    // with the query.
    TENMARI_TARGET __attribute__((noinline)) void line(const char* s, const char* lf) const {
        const auto len = static_cast<std::uint64_t>(lf - s);
        // The usual line: its field is found in a window of its first 128
        // bytes, and the four bytes after the comma can be read whatever they
        // are (an LF among them counts as the line's end).
        if (__builtin_expect(readable - s >= 192, 1)) {
            // (The bit cut reads only the low 8 bits of its index: hence the clamp.)
            const auto window = static_cast<unsigned>(std::min<std::uint64_t>(len, 128));
            const std::uint64_t c0 = _bzhi_u64(maskOf(s, ','), window);
            const std::uint64_t at0 = selectBit<kPdep>(seek, c0);
            const char* f;
            if (__builtin_expect(at0 != 0, 1)) {
                f = s + _tzcnt_u64(at0) + 1;
            } else {
                // Fewer commas than sought in the first 64 bytes: popcount(c0) < field <= 8.
                const std::uint64_t c1 = window <= 64 ? 0 : _bzhi_u64(maskOf(s + 64, ','), window - 64);
                const std::uint64_t at1 = selectBit<kPdep>(seek >> _mm_popcnt_u64(c0), c1);
                if (at1 != 0) {
                    f = s + 64 + _tzcnt_u64(at1) + 1;
                } else if (len <= 128) {
                    out.push_back({s, lf});  // too few commas
                    return;
                } else {
                    byBytes(s, lf);  // a long line whose field lies past its first 128 bytes
                    return;
                }
            }
            if (__builtin_expect(quick.differsHere(f), 1)) return;
            if (mayMatch(f, lf, probe)) out.push_back({s, lf});
            return;
        }
        byBytes(s, lf);
    }

    // The same, the field found byte by byte; `lf` may also be the end of the
    // text, and nothing past it is read.
    TENMARI_TARGET void byBytes(const char* s, const char* lf) const {
        const char* const f = fieldByBytes(s, lf, field);
        if (f == nullptr || (!quick.differs(f, lf) && mayMatch(f, lf, probe))) out.push_back({s, lf});
    }

    // The same for any line, also with no probed field; without `hasLf` the
    // line ends at the end of the text instead.
    TENMARI_TARGET void any(const char* s, const char* lf, bool hasLf) const {
        if (field == 0) {
            out.push_back({s, lf});
        } else if (hasLf) {
            line(s, lf);
        } else {
            byBytes(s, lf);
        }
    }
};

// The lines of [begin, end), as candidates() in LineFilter.h describes. Only
// bytes of [begin, end) are read. kWide: the probed field often begins past a
// line's first 64 bytes.
template <bool kPdep, bool kWide>
TENMARI_TARGET Result blockPass(const char* begin, const char* end, bool final, const Probe& probe,
                                std::vector<Span>& out) {
    const int field = probedField(probe);
    const LineTest<kPdep> test{probe, field, field != 0 ? std::uint64_t{1} << (field - 1) : 0, Quick(probe), end, out};

    // Offsets of a block's LFs from the block's start; room for a full block
    // of LFs and the two entries written past the count.
    constexpr std::size_t kBlock = 16384;
    // (Not zeroed: a block touches only the entries it writes, so that a new
    // thread faults in a page or two of the list, not all 64 KB of it.)
    static thread_local const std::unique_ptr<std::uint32_t[]> lfsStore(new std::uint32_t[kBlock + 2]);
    std::uint32_t* const lfs = lfsStore.get();

    const char* lineStart = begin;
    bool ended = false;
    const char* p = begin;
    while (!ended && end - p >= 64) {
        const char* const blockEnd =
            p + std::min<std::size_t>(kBlock, static_cast<std::size_t>(end - p) & ~std::size_t{63});
        std::size_t n = 0;
        Marks subs = noMarks();
        for (const char* q = p; q < blockEnd; q += 64) {
            std::uint64_t l = lineEnds(q, subs);
            const auto base = static_cast<std::uint32_t>(q - p);
            const auto count = static_cast<std::size_t>(_mm_popcnt_u64(l));
            // Two offsets are written whatever the count, so that the usual
            // chunk (no LF, or one or two) takes no branch on it.
            lfs[n] = base + static_cast<std::uint32_t>(_tzcnt_u64(l));
            l = _blsr_u64(l);
            lfs[n + 1] = base + static_cast<std::uint32_t>(_tzcnt_u64(l));
            l = _blsr_u64(l);
            for (std::size_t i = 2; i < count; ++i) {
                lfs[n + i] = base + static_cast<std::uint32_t>(_tzcnt_u64(l));
                l = _blsr_u64(l);
            }
            n += count;
        }
        if (marked(subs)) {
            // The text ends at the block's first 0x1A; the LFs before it still count.
            end = static_cast<const char*>(std::memchr(p, kEndOfFile, static_cast<std::size_t>(blockEnd - p)));
            ended = true;
            while (n > 0 && p + lfs[n - 1] >= end) --n;
        }
        if (field == 0) {
            for (std::size_t i = 0; i < n; ++i) {
                const char* const lf = p + lfs[i];
                out.push_back({lineStart, lf});
                lineStart = lf + 1;
            }
        } else {
            const std::uint64_t seek = test.seek;
            const Quick quick = test.quick;
            const char* const readable = test.readable;
            for (std::size_t i = 0; i < n; ++i) {
                const char* const lf = p + lfs[i];
                const auto len = static_cast<std::uint64_t>(lf - lineStart);
                // The usual line is ruled out right here: its field's comma is
                // among its first 64 bytes (bytes 32 to 95 with kWide), and the bytes
                // after the comma can be read whatever they are.
                if (__builtin_expect(readable - lineStart >= 192, 1)) {
                    std::uint64_t at;
                    std::uint64_t off;
                    if constexpr (kWide) {
                        // The field's comma sought in bytes 32 to 95 of the
                        // line, where it lies on almost every line of the
                        // public file (whether it lies before or after byte 64
                        // is a toss-up): the commas of the first 32 bytes are
                        // only counted. A comma among those first bytes, or
                        // none in the window, leaves `at` 0 and the line to
                        // LineTest::line.
                        const auto head = static_cast<unsigned>(std::min<std::uint64_t>(len, 32));
                        const std::uint64_t n0 = _mm_popcnt_u64(_bzhi_u32(maskOf32(lineStart, ','), head));
                        const auto rest = static_cast<unsigned>(len <= 32 ? 0 : std::min<std::uint64_t>(len, 96) - 32);
                        const std::uint64_t c1 = _bzhi_u64(maskOf(lineStart + 32, ','), rest);
                        at = n0 < static_cast<std::uint64_t>(field) ? selectBit<kPdep>(seek >> n0, c1) : 0;
                        off = 32 + _tzcnt_u64(at);
                    } else {
                        const std::uint64_t c0 =
                            _bzhi_u64(maskOf(lineStart, ','), static_cast<unsigned>(std::min<std::uint64_t>(len, 64)));
                        at = selectBit<kPdep>(seek, c0);
                        off = _tzcnt_u64(at);
                        // A field past the first 64 bytes, on a few lines: a branch, not a call.
                        if (__builtin_expect(at == 0 && len > 64, 0)) {
                            const auto rest = static_cast<unsigned>(std::min<std::uint64_t>(len, 128) - 64);
                            at = selectBit<kPdep>(seek >> _mm_popcnt_u64(c0),
                                                  _bzhi_u64(maskOf(lineStart + 64, ','), rest));
                            off = 64 + _tzcnt_u64(at);
                        }
                    }
                    if (__builtin_expect(at != 0, 1)) {
                        // The field is found: the line is judged here, not found again.
                        const char* const f = lineStart + off + 1;
                        if (__builtin_expect(!quick.differsHere(f), 0) && mayMatch(f, lf, probe)) {
                            out.push_back({lineStart, lf});
                        }
                        lineStart = lf + 1;
                        continue;
                    }
                }
                test.line(lineStart, lf);
                lineStart = lf + 1;
            }
        }
        p = ended ? end : blockEnd;
    }
    if (!ended) {
        // The last bytes, fewer than 64.
        if (const void* z = std::memchr(p, kEndOfFile, static_cast<std::size_t>(end - p))) {
            end = static_cast<const char*>(z);
            ended = true;
        }
        while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
            const char* const lf = static_cast<const char*>(nl);
            test.any(lineStart, lf, true);
            lineStart = p = lf + 1;
        }
    }
    if (!final && !ended) return {lineStart, false};
    if (lineStart < end) test.any(lineStart, end, false);  // the last line, without an LF
    return {end, ended};
}
