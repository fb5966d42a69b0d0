#pragma once
// Pasting into a single-line edit as Windows' single-line edits do: of text
// that holds line breaks only the first line is kept, without its break, so
// a spreadsheet cell (which comes with a line break) pastes as its value.
// Every way text is pasted goes through this: the paste keys, the context
// menu, a middle-click (the X11 primary selection) and a drop. Typed text
// and text the program sets are not touched.

#include <QString>

class QLineEdit;

namespace tenmari {

// The text up to its first CR or LF.
QString firstLine(const QString& text);

// Makes `edit` keep only the first line of what is pasted or dropped into
// it. Install it before any other event filter of the edit that may
// swallow keys: filters installed later see the keys first.
void keepFirstLineOfPastes(QLineEdit* edit);

}  // namespace tenmari
