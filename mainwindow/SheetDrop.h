#pragma once
// A CSV list dropped on the window: the rules of the drop, without widgets.
// One file ending in .csv is converted as `tenmari-lookup sheet` converts it,
// its output written beside it, and one message tells what was written and
// the counts; any other drop is refused with one message and changes nothing.
// Beeps and messages go through the notifier; the progress, shown when the
// work takes over a second and able to cancel it, through SheetDropProgress.

#include <QString>
#include <functional>
#include <memory>

#include "AddressAnswerer.h"

class QMimeData;

namespace tenmari {

class SheetDropProgress {
public:
    virtual ~SheetDropProgress() = default;
    // The share done, 0 to 100, with the window's events processed; false once
    // the user asked to cancel.
    virtual bool step(int percent) = 0;
};

class SheetDropModel {
public:
    using MakeAnswerer = std::function<std::unique_ptr<sheet::AddressAnswerer>()>;
    using MakeProgress = std::function<std::unique_ptr<SheetDropProgress>()>;
    SheetDropModel(MakeAnswerer answerer, MakeProgress progress)
        : makeAnswerer_(std::move(answerer)), makeProgress_(std::move(progress)) {}

    // Whether a drag is taken at all: anything that carries files or text, so
    // that a drop of the wrong kind is refused with a message, not in silence.
    static bool wanted(const QMimeData& data);

    enum class Outcome { written, refused, failed, cancelled };
    Outcome drop(const QMimeData& data);

private:
    MakeAnswerer makeAnswerer_;
    MakeProgress makeProgress_;
};

}  // namespace tenmari
