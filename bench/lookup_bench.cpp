// tenmari-bench-lookup: the lookup's queries on Japan Post's nationwide file,
// each timed in this one process against the cost of reading the file once.
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-lookup [--runs N] [--cpu] [--only TEXT] [--forms]
// Rounds interleave the cases, so that a change in the machine's load touches
// every case alike; each time is the median of its runs, warm cache, and each
// ratio the median of the rounds' ratios. A query's time is that of the call
// alone: the caller's lists are made before and freed after. --cpu counts
// the process's processor time instead of the wall clock (all its threads:
// a pass on two threads costs more of it than on one, and less wall clock),
// which leaves out time lost to other processes on a busy machine. --only keeps the floor and
// the rows whose name holds TEXT (for a profiler's eyes on one query).
// --forms times the line filter's pass alone in each form this processor
// runs, over the file in read-sized pieces already in memory.

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Cp932.h"
#include "DictionaryReader.h"
#include "PostReference.h"
#include "scan/LineFilter.h"

namespace {

namespace fs = std::filesystem;

// The floor: open the file, read it to its end through a 1 MiB buffer, close it.
std::size_t readFile(const std::string& path) {
    static std::vector<char> buf(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    std::size_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, buf.data(), buf.size())) > 0) total += static_cast<std::size_t>(n);
    ::close(fd);
    return total;
}

double nowMs(bool cpu) {
    timespec ts{};
    ::clock_gettime(cpu ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The caller's two lists, made before a timed call and freed after it.
struct Lists {
    tenmari::TPostReference::StringList addresses, codes;
};

struct Case {
    std::string name;
    double goal;  // at most this many times the floor; 0 for the floor itself, -1 for a reference row
    std::function<std::size_t(Lists&)> run;  // returns the number of matches
    std::vector<double> ms;
    std::size_t matches = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The line filter's pass alone, by form: the file cut after an LF into
// pieces of at most 256 KiB (as the reads hand them on), each copied into one
// buffer before its pass, which alone is timed. Median of `runs` whole files.
int timeForms(const std::string& path, int runs, bool cpu) {
    namespace lf = tenmari::linefilter;
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.size(), at + (std::size_t{256} << 10));
        if (end < text.size()) {
            const std::size_t lf = text.rfind('\n', end - 1);
            if (lf != std::string::npos && lf >= at) end = lf + 1;
        }
        pieces.emplace_back(at, end);
        at = end;
    }
    std::vector<char> buf(std::size_t{256} << 10);
    struct Probe {
        const char* name;
        int field;
        std::string query;
        bool address;
    };
    const Probe probes[] = {{"code 9071801 (field 2)", 2, "9071801", false},
                            {"北海道 (field 6, address)", 6, tenmari::utf8ToCp932("北海道"), true},
                            {"東京都千代田区 (field 6, address)", 6, tenmari::utf8ToCp932("東京都千代田区"), true},
                            {"札幌市中央区 (field 7, address)", 7, tenmari::utf8ToCp932("札幌市中央区"), true}};
    struct Form {
        lf::Form form;
        const char* name;
    };
    const Form forms[] = {{lf::Form::byLine, "line by line"},
                          {lf::Form::avx2, "avx2, comma by a loop"},
                          {lf::Form::avx2Pdep, "avx2, comma by bit deposit"}};
    std::printf("the line filter's pass alone, ms per file (median of %d, %s)\n\n| probe |", runs,
                cpu ? "processor time" : "wall clock");
    for (const Form& f : forms) std::printf(" %s |", f.name);
    std::printf(" literal (quote scan) |\n|---|---|---|---|---|\n");
    std::vector<lf::Span> out;
    for (const Probe& p : probes) {
        const lf::Probe probe{p.field, p.query, p.address};
        std::printf("| %s |", p.name);
        auto timeOne = [&](auto pass) {
            std::vector<double> ms;
            for (int r = 0; r < runs; ++r) {
                double total = 0;
                out.clear();
                for (const auto& [b, e] : pieces) {
                    std::memcpy(buf.data(), text.data() + b, e - b);
                    const double t0 = nowMs(cpu);
                    pass(buf.data(), buf.data() + (e - b));
                    total += nowMs(cpu) - t0;
                }
                ms.push_back(total);
            }
            return median(ms);
        };
        for (const Form& f : forms) {
            if (!lf::runs(f.form)) {
                std::printf(" (not on this processor) |");
                continue;
            }
            std::printf(" %.3f |",
                        timeOne([&](const char* b, const char* e) { lf::candidates(b, e, true, probe, out, f.form); }));
        }
        if (lf::literalFits(probe)) {
            std::printf(" %.3f |\n",
                        timeOne([&](const char* b, const char* e) { lf::literalCandidates(b, e, true, probe, out); }));
        } else {
            std::printf(" |\n");
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 40;
    bool cpu = false;
    bool forms = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--cpu") == 0) {
            cpu = true;
        } else if (std::strcmp(argv[i], "--forms") == 0) {
            forms = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(
                stderr,
                "usage: tenmari-bench-lookup [--runs N] [--cpu] [--only TEXT] [--forms]   (reads TENMARI_KEN_ALL)\n");
            return 2;
        }
    }
    const std::string path = tenmari::bench::kenAllCsvOrSay();
    if (path.empty()) return 0;
    if (forms) return timeForms(path, runs, cpu);

    tenmari::TPostReference all;
    all.SetPostFile(path);
    tenmari::TPostReference part;
    part.SetPostFile(path);
    part.SetPickOut(tenmari::poptPart);

    auto code = [](tenmari::TPostReference& ref, std::string q) {
        return [&ref, q](Lists&) { return ref.PostToAddress(q).empty() ? std::size_t{0} : std::size_t{1}; };
    };
    auto prefix = [](tenmari::TPostReference& ref, std::string q) {
        return [&ref, q](Lists& l) {
            ref.PostToAddressList(q, l.addresses, l.codes);
            return l.codes.size();
        };
    };
    auto address = [](tenmari::TPostReference& ref, const char* utf8) {
        return [&ref, q = tenmari::utf8ToCp932(utf8)](Lists& l) {
            ref.AddressToPostList(q, l.addresses, l.codes);
            return l.codes.size();
        };
    };
    std::vector<Case> cases;
    cases.push_back({"read() through a 1 MiB buffer", 0, [&](Lists&) { return readFile(path); }, {}});
    // Every query by every way of reading the file, side by side; the goals
    // stand on the rows of the default way, the others show what this
    // machine would prefer.
    struct Way {
        tenmari::Reading how;
        const char* name;
    };
    const tenmari::Reading chosen = tenmari::reading();
    const Way ways[] = {{tenmari::Reading::read, "read()"},
                        {tenmari::Reading::map, "mapping"},
                        {tenmari::Reading::mapPopulate, "mapping, MAP_POPULATE"}};
    for (const Way& way : ways) {
        const bool isDefault = way.how == chosen;
        const std::string tag = std::string(", ") + way.name + (isDefault ? " (default)" : "");
        auto add = [&](const char* name, double goal, std::function<std::size_t(Lists&)> run) {
            cases.push_back({std::string(name) + tag,
                             isDefault ? goal : -1,
                             [how = way.how, run](Lists& l) {
                                 tenmari::setReading(how);
                                 return run(l);
                             },
                             {}});
        };
        add("`PostToAddress(\"9071801\")`", 1.5, code(all, "9071801"));
        add("`PostToAddressList(\"100\")`", 1.5, prefix(all, "100"));
        add("`AddressToPostList(\"北海道\")`", 2.0, address(all, "北海道"));
        add("`AddressToPostList(\"東京都千代田区\")`", 1.7, address(all, "東京都千代田区"));
        add("`AddressToPostList(\"札幌市中央区\")`, `poptPart`", 1.7, address(part, "札幌市中央区"));
        add("`AddressToPostList(\"\")`", 10, address(all, ""));
    }
    tenmari::setReading(chosen);

    // What the caller's lists cost on their own: the same entries copied
    // into fresh lists, as a search fills them (room made first, one string
    // per entry). No search can cost less than its lists.
    auto listsOf = [&](const char* utf8) {
        auto ref = std::make_shared<Lists>();
        all.AddressToPostList(tenmari::utf8ToCp932(utf8), ref->addresses, ref->codes);
        return [ref](Lists& l) {
            l.codes.reserve(ref->codes.size());
            l.addresses.reserve(ref->addresses.size());
            for (std::size_t i = 0; i < ref->codes.size(); ++i) {
                l.codes.emplace_back(ref->codes[i]);
                l.addresses.emplace_back(ref->addresses[i]);
            }
            return l.codes.size();
        };
    };
    cases.push_back({"the lists of `AddressToPostList(\"北海道\")` alone", -1, listsOf("北海道"), {}});
    cases.push_back({"the lists of `AddressToPostList(\"\")` alone", -1, listsOf(""), {}});

    if (!only.empty()) {
        std::erase_if(cases, [&](const Case& c) { return c.goal != 0 && c.name.find(only) == std::string::npos; });
    }
    for (Case& c : cases) {  // warm the cache and the allocator
        Lists l;
        c.matches = c.run(l);
    }
    for (int r = 0; r < runs; ++r) {
        for (Case& c : cases) {
            Lists l;
            const double t0 = nowMs(cpu);
            const std::size_t n = c.run(l);
            const double t1 = nowMs(cpu);
            if (n != c.matches) {
                std::fprintf(stderr, "%s: %zu matches, then %zu\n", c.name.c_str(), c.matches, n);
                return 2;
            }
            c.ms.push_back(t1 - t0);
        }
    }

    std::printf("%s: %zu bytes; median of %d runs each, %s\n", path.c_str(), cases[0].matches, runs,
                cpu ? "processor time of the process" : "wall clock");
    if (std::FILE* f = std::fopen("/proc/cpuinfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "model name", 10) == 0) {
                std::printf("processor: %s", std::strchr(line, ':') ? std::strchr(line, ':') + 2 : line);
                break;
            }
        }
        std::fclose(f);
    }
    std::printf("\n");
    std::printf("| | matches | time | × reading the file | goal |\n|---|---|---|---|---|\n");
    bool allMet = true;
    for (const Case& c : cases) {
        const double m = median(c.ms);
        // Each round's time against the floor of the same round, then the
        // median of those: a slow spell of the machine touches both alike.
        std::vector<double> ratios;
        for (std::size_t r = 0; r < c.ms.size(); ++r) ratios.push_back(c.ms[r] / cases[0].ms[r]);
        const double ratio = median(ratios);
        if (c.goal == 0) {
            std::printf("| %s | | %.2f ms | 1.00 | |\n", c.name.c_str(), m);
            continue;
        }
        if (c.goal < 0) {
            std::printf("| %s | %zu | %.2f ms | %.2f | |\n", c.name.c_str(), c.matches, m, ratio);
            continue;
        }
        const bool met = ratio <= c.goal;
        allMet = allMet && met;
        std::printf("| %s | %zu | %.2f ms | %.2f | ≤ %g %s |\n", c.name.c_str(), c.matches, m, ratio, c.goal,
                    met ? "met" : "NOT met");
    }
    std::printf("\n%s\n", allMet ? "every goal met" : "some goals not met");
    return 0;
}
