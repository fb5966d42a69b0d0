#include "SheetDropDialog.h"

#include <QCoreApplication>

#include "Notifier.h"

namespace tenmari {

SheetDropDialog::SheetDropDialog(QWidget* owner)
    : dialog_(QStringLiteral("郵便番号を入れています・・・"), QStringLiteral("ｷｬﾝｾﾙ"), 0, 100, owner) {
    dialog_.setWindowTitle(applicationTitle());
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setMinimumDuration(1000);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
}

bool SheetDropDialog::step(int percent) {
    if (percent != dialog_.value()) dialog_.setValue(percent);
    QCoreApplication::processEvents();
    return !dialog_.wasCanceled();
}

}  // namespace tenmari
