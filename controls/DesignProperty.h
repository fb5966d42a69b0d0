#pragma once
// The bridge between the window design's property names and the controls'
// setters, shared by every control.
//
// A form file (.ui) sets a control's property P through uic, whose code calls
// setP(value); the controls name their setters SetP, like the rest of the
// window's code. TENMARI_DESIGN_PROPERTY(Type, P) declares both: the
// Q_PROPERTY P, read by P() and written by SetP(), and the setP() that uic
// calls. Further Q_PROPERTY attributes (STORED false) follow the name. Use it
// in a public section; the control declares P() and SetP() itself.
//
// TENMARI_DESIGN_COLOUR(P) does the same for a colour (0x00BBGGRR, see
// Color.h), and its setP() also takes the design's text, which is how the
// form file writes colours:
//   <property name="Color"><string notr="true">0x00DDE8E5</string></property>

#include "Color.h"

#include <QObject>
#include <QString>
#include <optional>

#define TENMARI_DESIGN_PROPERTY(Type, Name, ...)                \
    Q_PROPERTY(Type Name READ Name WRITE Set##Name __VA_ARGS__) \
    void set##Name(const Type& value) { Set##Name(value); }

#define TENMARI_DESIGN_COLOUR(Name, ...)                                            \
    TENMARI_DESIGN_PROPERTY(quint32, Name, __VA_ARGS__)                             \
    void set##Name(const QString& text) {                                           \
        if (const auto c = tenmari::designColour(this, #Name, text)) Set##Name(*c); \
    }

namespace tenmari {

// The colour the design's text names. Text that names none is a fault of the
// design: said on the console, and nothing is returned, so the control keeps
// its colour.
inline std::optional<TColor> designColour(const QObject* control, const char* property, const QString& text) {
    const std::optional<TColor> c = colourFromText(QStringView(text).trimmed());
    if (!c) {
        qWarning("%s.%s: \"%s\" is not a colour (0x00BBGGRR)", qPrintable(control->objectName()), property,
                 qPrintable(text));
    }
    return c;
}

}  // namespace tenmari
