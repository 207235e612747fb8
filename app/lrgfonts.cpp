#include "lrgfonts.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {
constexpr double kDesignedDpi = 96.0;

QScreen* Screen()
{
    return QGuiApplication::primaryScreen();
}
} // namespace

double ScreenScaleX()
{
    const QScreen* screen = Screen();
    return screen != nullptr ? screen->logicalDotsPerInchX() / kDesignedDpi : 1.0;
}

double ScreenScaleY()
{
    const QScreen* screen = Screen();
    return screen != nullptr ? screen->logicalDotsPerInchY() / kDesignedDpi : 1.0;
}

bool IsLargeFonts()
{
    return ScreenScaleX() > 1.0 || ScreenScaleY() > 1.0;
}

QSize ScaledClientSize(QSize designed, double scaleX, double scaleY)
{
    return QSize(int(std::trunc(designed.width() * scaleX)), int(std::trunc(designed.height() * scaleY)));
}
