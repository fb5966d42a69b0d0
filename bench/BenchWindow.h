#pragma once
// Shared by the window benchmarks: the real window offscreen on Japan Post's
// nationwide file, in the style the program gives it (another with -style),
// its settings kept in a scratch folder (never a real user's), its messages
// and errors printed instead of shown.

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "Notifier.h"
#include "UnitMain.h"
#include "ui_FormMain.h"

class QWidget;

namespace tenmari::bench {

class PrintingNotifier final : public Notifier {
public:
    void beep() override {}
    void message(const QString& text) override;
    void error(const QString& text) override;
};

// Made first thing in main(), before any other Qt object.
class OffscreenWindow {
public:
    OffscreenWindow(int& argc, char** argv);
    ~OffscreenWindow();
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;

    // Shows the window searching Japan Post's file, with `exeDir` as its
    // program folder when one is given (the help pictures live there).
    // False, after printing why, when there is nothing to measure.
    bool open(const QString& exeDir = {});

    TFormMain& window() { return *window_; }
    Ui::FormMain& form() { return window_->form(); }
    const std::string& csv() const { return csv_; }

private:
    QTemporaryDir config_;
    std::unique_ptr<QApplication> app_;
    PrintingNotifier notifier_;
    std::string csv_;
    std::unique_ptr<TFormMain> window_;
};

// Enter in an input field, as the keyboard gives it.
void pressEnter(QWidget* w);

}  // namespace tenmari::bench
