// The three queries over the input as a dictionary file, with both
// pick-outs, against the plain reading of the rules. The file lies in
// memory (a memfd); a filler line in front can put the block edge of the
// reader, or a line longer than a block, anywhere in the fuzzed bytes.
//
// Input: [mode] [query length n] [n query bytes] [dictionary bytes]
//   mode % 3 == 0: the dictionary as it is
//   mode % 3 == 1: a filler line first, so that the first read block ends
//                  (mode / 3) bytes into the dictionary (modulo its length)
//   mode % 3 == 2: filler without a line end first: the first line is longer
//                  than a block

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "PostReference.h"
#include "Utf8.h"
#include "ReferenceReading.h"

namespace {

namespace ref = tenmari::reference;
using tenmari::TPostReference;

constexpr std::size_t kBlock = 256 * 1024;  // the reader's first read

// One memfd per process, rewritten for every input.
const std::string& dictionaryPath(const std::string& bytes) {
    static const int fd = ::memfd_create("tenmari-fuzz-dict", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FUZZ_CHECK(fd >= 0, "memfd_create");
    FUZZ_CHECK(::ftruncate(fd, 0) == 0, "ftruncate");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        FUZZ_CHECK(n > 0, "pwrite");
        done += static_cast<std::size_t>(n);
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned mode = data[0];
    const std::size_t queryLength = std::min<std::size_t>(data[1], size - 2);
    const std::string query(reinterpret_cast<const char*>(data) + 2, queryLength);
    const std::string_view dict(reinterpret_cast<const char*>(data) + 2 + queryLength, size - 2 - queryLength);

    // The file has the filler; the plain reading gets a one-byte stand-in:
    // a filler line of 'y's reads as a record of empty fields whatever its
    // length, and glued to the first line it changes no field read.
    std::string bytes;
    std::string standIn;
    if (mode % 3 == 1) {
        const std::size_t into = (mode / 3) % (dict.size() + 1);
        bytes.assign(kBlock - into - 1, 'y');
        bytes.push_back('\n');
        standIn = "y\n";
    } else if (mode % 3 == 2) {
        bytes.assign(kBlock + 1000, 'y');
        standIn = "y";
    }
    bytes.append(dict);
    const std::string& path = dictionaryPath(bytes);
    if (tenmari::utf8::opensAsText(std::string_view(bytes).substr(0, tenmari::utf8::kOpeningLook))) {
        // UTF-8 text is refused as a whole, never read as code page 932.
        TPostReference lookup;
        lookup.SetPostFile(path);
        ref::Lists got;
        try {
            lookup.PostToAddressList(query, got.first, got.second);
            FUZZ_CHECK(false, "a UTF-8 file was read");
        } catch (const tenmari::PostFileError& e) {
            FUZZ_CHECK(e.code() == EILSEQ, "a UTF-8 file refused for another reason");
        }
        return 0;
    }
    const auto lines = ref::lines(standIn + std::string(dict));

    for (tenmari::TPostOption pick : {tenmari::poptAll, tenmari::poptPart}) {
        TPostReference lookup;
        lookup.SetPostFile(path);
        lookup.SetPickOut(pick);
        int events = 0;
        lookup.OnNotPostFile = [&](TPostReference&) { ++events; };
        const std::string what = " for " + ref::shown(query) + (pick == tenmari::poptAll ? " (all)" : " (part)");

        ref::Lists got;
        lookup.PostToAddressList(query, got.first, got.second);
        FUZZ_CHECK(got == ref::prefixQuery(lines, query, pick), "prefix" + what);
        lookup.AddressToPostList(query, got.first, got.second);
        FUZZ_CHECK(got == ref::addressQuery(lines, query, pick), "address" + what);
        FUZZ_CHECK(events == 0, "event from a list query" + what);

        bool found = false;
        const std::string want = ref::codeQuery(lines, query, pick, found);
        FUZZ_CHECK(lookup.PostToAddress(query) == want, "code" + what);
        FUZZ_CHECK(events == (found ? 0 : 1), "code event" + what);
    }
    return 0;
}
