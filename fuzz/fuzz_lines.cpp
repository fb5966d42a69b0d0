// The line and field reading in memory: the line text, the field cuts and
// unquoting, and every form of the quick line scan, against the plain
// reading of the rules on whatever bytes come.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryFields.h"
#include "scan/FieldCuts.h"
#include "DictionaryReader.h"
#include "FuzzCheck.h"
#include "scan/CpuFeatures.h"
#include "scan/LineScan.h"
#include "ReferenceReading.h"

namespace {

namespace ref = tenmari::reference;
namespace fields = tenmari::fields;
namespace ls = tenmari::linescan;

std::vector<ls::Scan> scanForms() {
    std::vector<ls::Scan> forms{ls::portable};
#if defined(__x86_64__) || defined(__i386__)
    forms.push_back(ls::sse2);
    if (tenmari::cpu::runs(tenmari::cpu::ScanForm::avx2)) forms.push_back(ls::avx2);
#endif
    FUZZ_CHECK(std::find(forms.begin(), forms.end(), ls::best()) != forms.end(), "best() is one of the forms");
    return forms;
}

// The fields the lookup probes (code, prefecture, municipality) and one
// more that `turn` picks.
void checkScans(const char* p, const char* end, std::size_t turn) {
    static const std::vector<ls::Scan> forms = scanForms();
    const int probed[] = {2, 6, 7, static_cast<int>(turn % fields::kCount) + 1};
    for (int field : probed) {
        const ref::Scan want = ref::scan(p, end, field);
        for (ls::Scan form : forms) {
            const ls::Result got = form(p, end, field);
            FUZZ_CHECK(got.field == want.field && got.lf == want.lf,
                       "field " + std::to_string(field) + " in " +
                           ref::shown(std::string_view(p, static_cast<std::size_t>(end - p))));
        }
    }
}

// All 15 fields against the plain reading; `turn` picks the one that is
// also cut on its own (only as far as it needs) and read by GetField.
void checkFields(std::string_view line, std::size_t turn) {
    std::array<std::string_view, fields::kCount> all;
    fields::cut(line, all);
    std::string scratch;
    const auto values = ref::fields(line);
    for (int i = 0; i < fields::kCount; ++i) {
        const std::string& want = values[static_cast<std::size_t>(i)];
        const std::string_view got = fields::unquote(all[static_cast<std::size_t>(i)], scratch);
        FUZZ_CHECK(got == want, "field " + std::to_string(i) + " of " + ref::shown(line) + ": " + ref::shown(got) +
                                    " instead of " + ref::shown(want));
    }
    const int i = static_cast<int>(turn % fields::kCount);
    std::array<std::string_view, fields::kCount> front;
    fields::cut(line, front, i + 1);
    FUZZ_CHECK(front[static_cast<std::size_t>(i)] == all[static_cast<std::size_t>(i)],
               "partial cut of field " + std::to_string(i) + " of " + ref::shown(line));
    FUZZ_CHECK(fields::GetField(line, i) == values[static_cast<std::size_t>(i)],
               "GetField " + std::to_string(i) + " of " + ref::shown(line));
}

// The one-pass cut and the quick cut of a line as the lookup gets it (LF
// and a CR right before it removed; other CRs still in): where they answer,
// the fields a lookup reads are those of its text, plain exactly when they are
// a quote, text without quotes, and a quote.
void checkQuickCuts(std::string_view line, std::string_view text) {
    std::array<std::string_view, fields::kCount> want;
    fields::cut(text, want, 9);
    auto isPlain = [](std::string_view r) {
        return r.size() >= 2 && r.front() == '"' && r.back() == '"' &&
               r.substr(1, r.size() - 2).find('"') == std::string_view::npos;
    };
    std::array<std::string_view, fields::kCount> got;
    unsigned plain = 0;
    if (fields::cutWithoutCr(line, got, 9, &plain)) {
        for (int i = 0; i < 9; ++i) {
            const auto u = static_cast<std::size_t>(i);
            FUZZ_CHECK(got[u] == want[u] && (((plain >> i) & 1u) == 0 || isPlain(want[u])),
                       "one-pass cut of field " + std::to_string(i) + " of " + ref::shown(line));
        }
    }
    if (fields::cutRead(line, got, plain)) {
        for (int i : {1, 2, 6, 7, 8}) {
            const auto u = static_cast<std::size_t>(i);
            FUZZ_CHECK(got[u] == want[u] && (((plain >> i) & 1u) != 0) == isPlain(want[u]),
                       "quick cut of field " + std::to_string(i) + " of " + ref::shown(line));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const char* const end = bytes.data() + bytes.size();

    // The scans run on raw bytes, from the start of every line to the end of
    // the block, as the lookup runs them; the text of each line is checked
    // by its LF-free raw bytes.
    std::string scratch;
    std::size_t at = 0;
    while (true) {
        checkScans(bytes.data() + at, end, at + size);
        const std::size_t nl = bytes.find('\n', at);
        const std::string_view raw = bytes.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at);
        const std::string want = ref::lineText(raw);
        const std::string_view text = tenmari::DictionaryReader::lineText(raw, scratch);
        FUZZ_CHECK(text == want, "line text of " + ref::shown(raw));
        checkFields(text, at + size);
        checkQuickCuts(raw.ends_with('\r') ? raw.substr(0, raw.size() - 1) : raw, text);
        if (nl == std::string_view::npos) break;
        at = nl + 1;
    }
    return 0;
}
