#pragma once

#include <QSize>

// The screen's scale against the 96 pixels per logical inch the window was designed for.
double ScreenScaleX();
double ScreenScaleY();
// True when either scale is above 1: stored window sizes are then not restored.
bool IsLargeFonts();

// The client size of a window designed at 96 pixels per inch, at the given scale; each side
// is truncated toward zero.
QSize ScaledClientSize(QSize designed, double scaleX, double scaleY);
