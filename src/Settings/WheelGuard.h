#pragma once

class QWidget;

// Keeps the mouse wheel for scrolling in the windows of settings: a combo box, slider or spin box
// in them takes the wheel only once it has focus (clicked or tabbed to), and never takes focus
// from the wheel; otherwise the wheel goes on to the page around it, which scrolls. Controls added
// to the window later (rebuilt sections, hosted pages) are covered as they first show.
namespace WheelGuard {

// Covers the window and everything in it, now and later.
void protect(QWidget* window);
// Whether the widget lies in a covered window.
bool isProtected(const QWidget* widget);

} // namespace WheelGuard
