#pragma once

// Where no display can be used, Ambrel runs on Qt's offscreen platform instead of ending inside
// Qt, and says so. A platform the user chose (QT_QPA_PLATFORM) is left alone.
namespace DisplayFallback {

// Before the application object exists: without a display, the offscreen platform; with an X11
// display only, X11 with the offscreen platform behind it should the display not answer.
void prepare();

// Once the application object exists: tells the user when the offscreen platform was taken, and
// keeps the choice from the programs Ambrel starts.
void report();

} // namespace DisplayFallback
