// A working day in the real window offscreen: mixed searches on Japan Post's
// nationwide file (full codes, the prefixes 100 and 060, addresses 北海道 and
// a short one), choosing and copying a candidate, switching modes and regions,
// opening the help, paging through it forward and back, and closing it.
// Prints the resident memory (all of it, and the part no file backs) and the
// heap in use every 1,000 searches, and the growth per search after the
// first 1,000, in the style the program gives itself (-style NAME for
// another).
//
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-soak [searches]

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QRadioButton>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "BenchWindow.h"
#include "Image.h"
#include "plButton.h"

namespace {

// A resident memory figure in KB from /proc: VmRSS all of it, RssAnon the
// part no file backs (what a leak grows; shared libraries and fonts are
// paged in and out by the system as it likes).
long residentKb(const char* field = "VmRSS:") {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return -1;
}

// What the program holds on the heap in KB, as the allocator counts it: a
// steady figure here with a climbing resident one would be the allocator's
// own slack, not ours.
long heapInUseKb() {
    const struct mallinfo2 m = ::mallinfo2();
    return static_cast<long>((m.uordblks + m.hblkhd) / 1024);
}

void click(tenmari::TplButton* b) { emit b->OnClick(b); }

}  // namespace

int main(int argc, char** argv) {
    tenmari::bench::OffscreenWindow offscreen(argc, argv);
    const int searches = argc > 1 ? std::max(2000, std::atoi(argv[1])) : 10000;
    // The help pictures live in the build's program folder, not beside this
    // benchmark; without them the help part would load nothing.
    const QString programDir = qEnvironmentVariableIsSet("TENMARI_PROGRAM_DIR")
                                   ? qEnvironmentVariable("TENMARI_PROGRAM_DIR")
                                   : QStringLiteral(TENMARI_PROGRAM_DIR);
    if (!QFileInfo::exists(programDir + QStringLiteral("/Image/001.jpg"))) {
        std::printf("no help pictures in %s/Image: build the target tenmari-help-pictures first\n",
                    qPrintable(programDir));
        return 1;
    }
    if (!offscreen.open(programDir)) return 0;
    tenmari::TFormMain& window = offscreen.window();
    Ui::FormMain& f = offscreen.form();
    const std::string& csv = offscreen.csv();

    struct Query {
        bool address;
        const char* text;
    };
    const Query queries[] = {{false, "1000001"}, {false, "100"}, {false, "060"},     {true, "北海道"},
                             {false, "0600000"}, {true, "赤坂"}, {false, "9071801"}, {false, "530"}};
    std::printf("%s, %d mixed searches in the real window offscreen\n", csv.c_str(), searches);
    std::printf("%8s %12s %12s %12s\n", "searches", "resident KB", "anonymous KB", "heap KB");
    long baseResident = 0;
    long baseAnonymous = 0;
    long baseHeap = 0;
    int helpOpenings = 0;
    int pictures = 0;  // help pictures loaded and shown
    qint64 lastPicture = 0;
    const auto freshPicture = [&] {
        const QPixmap shown = f.ImgHelp->Picture();
        const bool fresh = !shown.isNull() && shown.cacheKey() != lastPicture;
        lastPicture = shown.cacheKey();
        return fresh;
    };
    for (int i = 1; i <= searches; ++i) {
        const Query& q = queries[i % (sizeof queries / sizeof queries[0])];
        QRadioButton* mode = q.address ? f.RBtnJushoKensaku : f.RBtnBangoKensaku;
        if (!mode->isChecked()) mode->setChecked(true);  // the switch clears the panel
        QLineEdit* edit = q.address ? f.EditJusho1 : f.EditZip1;
        edit->setText(QString::fromUtf8(q.text));
        tenmari::bench::pressEnter(edit);
        QCoreApplication::processEvents();
        const int rows = f.ListBox1->model()->rowCount();
        if (rows > 0) {  // choose one and copy it
            const QModelIndex index = f.ListBox1->model()->index(i % rows, 0);
            f.ListBox1->setCurrentIndex(index);
            emit f.ListBox1->clicked(index);
            click(f.plBtnCopy);
        }
        if (i % 97 == 0) {  // another region, and back to the nationwide file
            f.CBoxChihou->setCurrentIndex(i % f.CBoxChihou->count());
            emit f.CBoxChihou->activated(f.CBoxChihou->currentIndex());
            window.PostReference1().SetPostFile(csv);
        }
        if (i % 251 == 0) {  // the help: every page forward, back to the first, closed
            click(f.plBtnHelp);
            QCoreApplication::processEvents();
            pictures += freshPicture() ? 1 : 0;
            for (tenmari::TplButton* turn : {f.plBtnFront, f.plBtnBack}) {
                while (turn->isEnabled()) {  // as a user can: a disabled button takes no click
                    click(turn);
                    QCoreApplication::processEvents();
                    pictures += freshPicture() ? 1 : 0;
                }
            }
            click(f.plBtnHelp);
            ++helpOpenings;
        }
        click(f.plBtnClear1);
        QCoreApplication::processEvents();
        if (i % 1000 == 0) {
            const long resident = residentKb();
            const long anonymous = residentKb("RssAnon:");
            const long heap = heapInUseKb();
            std::printf("%8d %12ld %12ld %12ld\n", i, resident, anonymous, heap);
            std::fflush(stdout);
            if (i == 1000) {
                baseResident = resident;
                baseAnonymous = anonymous;
                baseHeap = heap;
            }
        }
    }
    const double after = searches - 1000;
    std::printf("growth after the first 1,000, KB a search: %.3f resident, %.3f anonymous, %.3f heap\n",
                static_cast<double>(residentKb() - baseResident) / after,
                static_cast<double>(residentKb("RssAnon:") - baseAnonymous) / after,
                static_cast<double>(heapInUseKb() - baseHeap) / after);
    std::printf("help opened %d times, %d pictures shown\n", helpOpenings, pictures);
    return 0;
}
