// The window's own share of a search on Japan Post's nationwide file, in the
// real window offscreen: from Enter in the input field to the candidates
// painted, against the same lookup alone, side by side in one run. The
// window's share is everything but the lookup: status and caption painted
// before it, the candidate entries, the list and the repaint after it.
//
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-window [runs]

#include <QLineEdit>
#include <QListView>
#include <QRadioButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "BenchWindow.h"
#include "Cp932.h"

using tenmari::bench::Clock;
using tenmari::bench::median;
using tenmari::bench::msSince;

namespace {

struct Query {
    const char* label;
    bool address;
    const char* text;  // UTF-8
};

}  // namespace

int main(int argc, char** argv) {
    tenmari::bench::OffscreenWindow offscreen(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 41;
    if (!offscreen.open()) return 0;
    Ui::FormMain& f = offscreen.form();
    const std::string& csv = offscreen.csv();
    tenmari::TPostReference alone;
    alone.SetPostFile(csv);

    std::printf("%s, %d runs each, median; window's share = Enter to candidates painted, minus the lookup alone\n",
                csv.c_str(), runs);
    std::printf("%-16s %10s %12s %14s %12s %8s\n", "query", "candidates", "lookup ms", "Enter..paint", "window ms",
                "share");
    const Query queries[] = {{"address 北海道", true, "北海道"}, {"code 100", false, "100"}};
    for (const Query& q : queries) {
        QLineEdit* edit = q.address ? f.EditJusho1 : f.EditZip1;
        (q.address ? f.RBtnJushoKensaku : f.RBtnBangoKensaku)->setChecked(true);
        edit->setText(QString::fromUtf8(q.text));
        const std::string bytes = tenmari::utf8ToCp932(q.text);
        std::vector<double> lookups, wholes, shares;
        for (int i = -3; i < runs; ++i) {  // warm-up, and the first growth of the window
            std::vector<std::string> a, c;
            auto t = Clock::now();
            if (q.address) {
                alone.AddressToPostList(bytes, a, c);
            } else {
                alone.PostToAddressList(bytes, a, c);
            }
            const double lookupMs = msSince(t);

            t = Clock::now();
            tenmari::bench::pressEnter(edit);
            QCoreApplication::processEvents();  // what changed is painted: the list, status, caption
            const double wholeMs = msSince(t);
            if (i < 0) continue;
            lookups.push_back(lookupMs);
            wholes.push_back(wholeMs);
            shares.push_back(wholeMs - lookupMs);
        }
        const int count = f.ListBox1->model()->rowCount();
        const double lookupMedian = median(lookups);
        const double shareMedian = median(shares);
        std::printf("%-16s %10d %12.2f %14.2f %12.2f %7.0f%%\n", q.label, count, lookupMedian, median(wholes),
                    shareMedian, 100.0 * shareMedian / lookupMedian);
    }
    return 0;
}
