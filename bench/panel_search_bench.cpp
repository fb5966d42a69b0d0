// The search panel's own share of a search on Japan Post's nationwide file:
// the dictionary lookup alone against the panel's whole search (validation,
// status, lookup, candidate entries, list model) in one process, median of
// many runs. The panel's share is its search time minus the time spent in
// the lookup during that same search.
//
// The last column is the decoding of the candidates to the window's text
// alone (cp932ToUtf16 over every code and address), part of the share.
//
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-panel [runs]

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Cp932.h"
#include "Notifier.h"
#include "PostReference.h"
#include "SearchPanel.h"

namespace {

using tenmari::bench::Clock;
using tenmari::bench::median;
using tenmari::bench::msSince;

// A lookup that adds up the time spent inside the real one.
class TimedLookup : public tenmari::PanelLookup {
public:
    explicit TimedLookup(tenmari::TPostReference& ref) : inner_(ref) {}
    std::string PostToAddress(std::string_view query) override {
        const auto t = Clock::now();
        std::string r = inner_.PostToAddress(query);
        spentMs += msSince(t);
        return r;
    }
    void PostToAddressList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override {
        const auto t = Clock::now();
        inner_.PostToAddressList(query, addresses, codes);
        spentMs += msSince(t);
    }
    void AddressToPostList(std::string_view query, std::vector<std::string>& addresses,
                           std::vector<std::string>& codes) override {
        const auto t = Clock::now();
        inner_.AddressToPostList(query, addresses, codes);
        spentMs += msSince(t);
    }
    double spentMs = 0;

private:
    tenmari::PostReferenceLookup inner_;
};

class NullHost : public tenmari::PanelHost {
public:
    void processPendingEvents() override {}
    void expandResults() override {}
    void collapse() override {}
    void focusInput(tenmari::SearchMode) override {}
    tenmari::DisplayOptions displayOptions() const override { return {}; }
};

class NullClipboard : public tenmari::PanelClipboard {
public:
    void setText(const QString&) override {}
};

// Nothing here should beep or ask; if it does, say so instead of opening a box.
class PrintingNotifier : public tenmari::Notifier {
public:
    void beep() override {}
    void message(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    void error(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
};

volatile std::size_t decodedUnits = 0;  // what the decoding wrote, so that it is done

struct Query {
    const char* label;
    tenmari::SearchMode mode;
    const char* text;  // UTF-8
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 41;

    const std::string csv = tenmari::bench::kenAllCsvOrSay();
    if (csv.empty()) return 0;
    PrintingNotifier printing;
    tenmari::setNotifier(&printing);
    tenmari::TPostReference ref;
    ref.SetPostFile(csv);
    TimedLookup lookup(ref);
    NullHost host;
    NullClipboard clipboard;
    tenmari::SearchPanelModel panel(lookup, clipboard, host);

    std::printf("%s, %d runs each, median; share = panel search minus its own lookup time\n", csv.c_str(), runs);
    std::printf("%-16s %10s %12s %14s %12s %12s %8s %12s\n", "query", "candidates", "lookup ms", "panel search",
                "in lookup", "share ms", "share", "decoding ms");
    const Query queries[] = {{"address 北海道", tenmari::SearchMode::Address, "北海道"},
                             {"code 100", tenmari::SearchMode::Code, "100"}};
    double firstSearchMs = -1;  // includes building the decoding tables
    for (const Query& q : queries) {
        const std::string bytes = tenmari::utf8ToCp932(q.text);
        std::vector<double> alone, whole, share;
        std::vector<std::string> addresses, codes;
        if (q.mode == tenmari::SearchMode::Address) {
            panel.RBtnJushoKensakuClick();
            panel.setAddressText(QString::fromUtf8(q.text));
        } else {
            panel.RBtnBangoKensakuClick();
            panel.setZipText(QString::fromUtf8(q.text));
        }
        for (int i = -3; i < runs; ++i) {  // three warm-up rounds
            // The lookup alone, into two fresh lists as the panel has them.
            std::vector<std::string> a, c;
            auto t = Clock::now();
            if (q.mode == tenmari::SearchMode::Address) {
                ref.AddressToPostList(bytes, a, c);
            } else {
                ref.PostToAddressList(bytes, a, c);
            }
            const double lookupMs = msSince(t);
            addresses.swap(a);
            codes.swap(c);
            a.clear();  // the previous run's lists go outside the timing
            c.clear();

            // The panel's whole search, then what a list view asks for first.
            lookup.spentMs = 0;
            t = Clock::now();
            panel.plBtnKensakuClick();
            QAbstractListModel* list = panel.candidates();
            const int rows = list->rowCount();
            for (int r = 0; r < std::min(rows, 30); ++r) (void)list->data(list->index(r, 0));
            const double panelMs = msSince(t);

            if (firstSearchMs < 0) firstSearchMs = panelMs;
            if (i < 0) continue;
            alone.push_back(lookupMs);
            whole.push_back(panelMs);
            share.push_back(panelMs - lookup.spentMs);
        }
        const int count = panel.candidates()->rowCount();
        if (static_cast<std::size_t>(count) != addresses.size()) {
            std::fprintf(stderr, "%s: the panel lists %d candidates, the lookup found %zu\n", q.label, count,
                         addresses.size());
            return 1;
        }
        // The decoding alone, into one buffer as the panel decodes.
        std::vector<double> decoding;
        {
            std::size_t bytesTotal = 0;
            for (std::size_t k = 0; k < addresses.size(); ++k) bytesTotal += addresses[k].size() + codes[k].size();
            std::u16string text(bytesTotal, u'\0');
            for (int i = -3; i < runs; ++i) {
                const auto t = Clock::now();
                char16_t* out = text.data();
                for (std::size_t k = 0; k < addresses.size(); ++k) {
                    out = tenmari::cp932ToUtf16(addresses[k], out);
                    out = tenmari::cp932ToUtf16(codes[k], out);
                }
                const double ms = msSince(t);
                decodedUnits = static_cast<std::size_t>(out - text.data());
                if (i >= 0) decoding.push_back(ms);
            }
        }
        const double lookupMedian = median(alone);
        const double shareMedian = median(share);
        std::vector<double> inLookup(whole.size());
        for (std::size_t k = 0; k < whole.size(); ++k) inLookup[k] = whole[k] - share[k];
        std::printf("%-16s %10d %12.2f %14.2f %12.2f %12.2f %7.0f%% %12.3f\n", q.label, count, lookupMedian,
                    median(whole), median(inLookup), shareMedian, 100.0 * shareMedian / lookupMedian, median(decoding));
    }
    std::printf("first panel search of the process (builds the decoding tables once): %.2f ms\n", firstSearchMs);
    tenmari::setNotifier(nullptr);
    return 0;
}
