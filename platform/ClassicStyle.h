#pragma once
// The look of the toolkit's own controls (edit fields, radio buttons, check
// boxes, the drop-down list, the list and its scroll bar): the classic
// sunken frames that match the self-drawn buttons and panels, unless the
// user chose a style of their own.

namespace tenmari {

// The name of the classic style.
const char* classicStyleName();

// Whether the command line (-style X, -style=X, --style ...) or
// QT_STYLE_OVERRIDE names a style. Read before the application object
// exists, which takes the style option out of argv.
bool styleChosenByUser(int argc, const char* const* argv);

// Makes the classic style the application's style; false when Qt lacks it.
bool applyClassicStyle();

}  // namespace tenmari
