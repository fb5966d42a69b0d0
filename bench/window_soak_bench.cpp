// A working day in the real window offscreen: mixed searches on Japan Post's
// nationwide file (full codes, the prefixes 100 and 060, addresses 北海道 and
// a short one), choosing and copying a candidate, switching modes and regions,
// opening and closing the help. Prints the resident memory and the heap in
// use every 1,000 searches, and the growth per search after the first 1,000.
//
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-soak [searches]

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BenchWindow.h"
#include "Image.h"
#include "plButton.h"

namespace {

// Resident memory in KB, from /proc.
long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
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
    const Query queries[] = {{false, "1000001"}, {false, "100"}, {false, "060"},   {true, "北海道"},
                             {false, "0600000"}, {true, "赤坂"},  {false, "9071801"}, {false, "530"}};
    std::printf("%s, %d mixed searches in the real window offscreen\n", csv.c_str(), searches);
    std::printf("%8s %12s %12s\n", "searches", "resident KB", "heap KB");
    long base = 0;
    int pictures = 0;  // help pictures seen on screen
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
        if (i % 251 == 0) {  // the help, paged once, and closed
            click(f.plBtnHelp);
            QCoreApplication::processEvents();
            pictures += f.ImgHelp->Picture().isNull() ? 0 : 1;
            click(f.plBtnFront);
            QCoreApplication::processEvents();
            pictures += f.ImgHelp->Picture().isNull() ? 0 : 1;
            click(f.plBtnHelp);
        }
        click(f.plBtnClear1);
        QCoreApplication::processEvents();
        if (i % 1000 == 0) {
            const long rss = residentKb();
            std::printf("%8d %12ld %12ld\n", i, rss, heapInUseKb());
            std::fflush(stdout);
            if (i == 1000) base = rss;
        }
    }
    const long last = residentKb();
    std::printf("growth after the first 1,000: %.3f KB a search\n",
                static_cast<double>(last - base) / (searches - 1000));
    std::printf("help opened %d times, %d pictures shown\n", searches / 251, pictures);
    return 0;
}
