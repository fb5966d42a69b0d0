#pragma once
// The progress of a dropped list's conversion: a box that appears once the
// work has taken a second, with a cancel button. The window's events are
// processed at each step, from the conversion's own loop (no second thread).

#include <QProgressDialog>

#include "SheetDrop.h"

namespace tenmari {

class SheetDropDialog : public SheetDropProgress {
public:
    explicit SheetDropDialog(QWidget* owner);
    bool step(int percent) override;

private:
    QProgressDialog dialog_;
};

}  // namespace tenmari
