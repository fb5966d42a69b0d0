#pragma once
// Design values of the stored window design that Qt's own widgets have no
// property for. The form file sets them as dynamic properties; this applies
// them once after the form is built:
//   fontHeight (px), fontBold, fontColor (0x00BBGGRR)  the control's font
//   designColor (0x00BBGGRR)  the background of edits, lists and memos
//   designIcon "name:32,48"  a picture rendered from :/icons/name.svg at
//                           those pixel sizes (buttons and images)
//   itemHeight (px)          row height of a list or drop-down list
//   inputMethodOff           direct half-width input only
// A label's text always fits its width: in a font wider than the design's
// its characters stand closer. A disabled container only keeps its
// children from input: they keep the look of enabled controls.

#include <QIcon>
#include <QList>
#include <QMargins>
#include <QSize>
#include <QString>

class QWidget;

namespace tenmari {

void applyDesign(QWidget* root);

// An icon with one image per size, rendered from :/icons/<name>.svg. A
// button's picture keeps iconMargins inside its cell at every size drawn;
// a picture that fills a frame of its own (the emblem) is drawn edge to edge.
// Its disabled picture is the drawing's outline.
enum class IconCell { WithMargin, EdgeToEdge };
QIcon designIcon(const QString& name, const QList<QSize>& sizes, IconCell cell = IconCell::WithMargin);

// The empty margin around a button picture drawn in a cell of that size.
QMargins iconMargins(const QSize& cell);

}  // namespace tenmari
