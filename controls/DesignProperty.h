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

#include <QObject>

#define TENMARI_DESIGN_PROPERTY(Type, Name, ...)                 \
    Q_PROPERTY(Type Name READ Name WRITE Set##Name __VA_ARGS__) \
    void set##Name(const Type& value) { Set##Name(value); }
