#pragma once
// Device pixels per logical pixel of what a painter really paints on. A
// widget painted into a high-resolution image (QWidget::render, grab) paints
// on that image, whose ratio may differ from the widget's own.

class QPainter;

namespace tenmari {

// At least 1e-3; 1 for a painter that is not active.
double paintScale(const QPainter& p);

}  // namespace tenmari
