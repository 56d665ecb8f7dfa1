#include "Launch/DisplayFallback.h"

#include <QGuiApplication>

#include <cstdio>

namespace DisplayFallback {
namespace {

enum class Choice { left, noDisplay, x11WithFallback };
Choice choice = Choice::left;

} // namespace

void prepare()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        choice = Choice::noDisplay;
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        // Qt tries the platforms in order: a display that does not answer leads to the next.
        choice = Choice::x11WithFallback;
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    }
}

void report()
{
    if (choice == Choice::left)
        return;
    qunsetenv("QT_QPA_PLATFORM");
    if (choice == Choice::noDisplay) {
        std::fputs("ambrel: no display found (DISPLAY and WAYLAND_DISPLAY are unset); running on the offscreen "
                   "platform, where no window or tray icon can be seen\n",
                   stderr);
    } else if (QGuiApplication::platformName() == u"offscreen") {
        std::fprintf(stderr,
                     "ambrel: the display \"%s\" does not answer; running on the offscreen platform, where no window "
                     "or tray icon can be seen\n",
                     qgetenv("DISPLAY").constData());
    }
}

} // namespace DisplayFallback
