#pragma once

#include "SelectionFixture.h"

#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"

#include <QTest>

using namespace Platform;
using namespace std::chrono_literals;

// A running monitor over an editor in front, with short result and hint times, and the user's
// gestures.
namespace {
// The editor's text field covers (100, 400) – (700, 770) in screen coordinates; its title bar
// lies above it, up to 800.
constexpr QPointF inText(150, 700);
constexpr QPointF inTitleBar(150, 790);
constexpr QPointF onDesktop(1000, 100);

struct MonitorFixture : SelectionFixture {
    std::unique_ptr<SimulatedTextApplication> app;
    std::unique_ptr<SelectionMonitor> monitor;
    PrivacyLog::Capture log;

    explicit MonitorFixture(const QString& text = "alpha beta gamma", const QString& selected = "beta",
                            SimulatedTextApplication::Options options = {})
    {
        windows().setWindows({{1, QRectF(0, 0, 1440, 900), -2147483623, 1, "Desktop"}});
        app = editor(text, selected, options);
        SelectionMonitor::Timings t;
        t.resultDuration = 300ms;
        t.hintDelay = 30ms;
        monitor = std::make_unique<SelectionMonitor>(services, t);
        monitor->start();
    }

    void press(QPointF at, EventType type = leftMouseDown, ModifierFlags flags = {})
    {
        input().postGlobal({.type = type, .location = at, .clickCount = 1, .modifiers = flags});
    }
    void drag(QPointF to) { input().postGlobal({.type = leftMouseDragged, .location = to}); }
    void release(QPointF at, int clicks = 1, ModifierFlags flags = {})
    {
        input().postGlobal({.type = leftMouseUp, .location = at, .clickCount = clicks, .modifiers = flags});
    }
    // A drag selection from `from` to `to`.
    void select(QPointF from, QPointF to, int clicks = 1)
    {
        press(from);
        drag(to);
        release(to, clicks);
    }
    bool showsToolbar() { return monitor->panel().isVisible() && qobject_cast<SelectionToolbarView*>(monitor->panel().content()); }
    QStringList shownActions()
    {
        QStringList ids;
        if (auto* view = qobject_cast<SelectionToolbarView*>(monitor->panel().content()))
            for (auto* b : view->buttons())
                ids << b->objectName();
        return ids;
    }
    bool waitForToolbar() { return QTest::qWaitFor([this] { return showsToolbar(); }, 2000); }
};
} // namespace
