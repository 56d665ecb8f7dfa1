#pragma once

#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedKeystrokes.h"
#include "Platform/Simulated/SimulatedTextApplication.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Selection/SelectionMonitor.h"
#include "Selection/SelectionToolbarView.h"

#include <QAbstractButton>
#include <QMenu>
#include <QToolButton>

#include <memory>

// The user's hand on the toolbar: a drag selection, the actions on offer, a press of one.
namespace ToolbarDriver {

// An editor in front of a bare desktop on simulated services, `selected` selected in `text`.
inline std::unique_ptr<Platform::SimulatedTextApplication> editor(const Platform::Services& services, const QString& text,
                                                                  const QString& selected)
{
    auto& windows = static_cast<Platform::SimulatedWindowList&>(*services.windowList);
    windows.setWindows({{1, QRectF(0, 0, 1440, 900), -2147483623, 1, "Desktop"}});
    auto app = std::make_unique<Platform::SimulatedTextApplication>(
        Platform::SimulatedTextApplication::Desktop{
            &static_cast<Platform::SimulatedAccessibility&>(*services.accessibility),
            &static_cast<Platform::SimulatedKeystrokes&>(*services.keystrokes), services.pasteboards.get(),
            &static_cast<Platform::SimulatedWorkspace&>(*services.workspace), &windows},
        Platform::SimulatedTextApplication::Options{});
    app->setText(text, {0, 0});
    app->select(selected);
    app->bringToFront();
    return app;
}

// A drag across a text field from `from` to `to`, as the user selects.
inline void dragSelect(Platform::SimulatedEventMonitors& input, QPointF from, QPointF to)
{
    input.postGlobal({.type = Platform::leftMouseDown, .location = from, .clickCount = 1});
    input.postGlobal({.type = Platform::leftMouseDragged, .location = (from + to) / 2});
    input.postGlobal({.type = Platform::leftMouseDragged, .location = to});
    input.postGlobal({.type = Platform::leftMouseUp, .location = to, .clickCount = 1});
}

// The identifiers on the row, then those in the "more" menu.
inline QStringList actions(SelectionMonitor& monitor)
{
    QStringList ids;
    auto* view = qobject_cast<SelectionToolbarView*>(monitor.panel().content());
    if (!view)
        return ids;
    for (auto* b : view->buttons())
        ids << b->objectName();
    if (view->moreButton())
        for (QAction* item : view->overflowMenu()->actions())
            ids << item->objectName();
    return ids;
}

// Presses the action on the row, or in the "more" menu; false when neither offers it.
inline bool press(SelectionMonitor& monitor, const QString& id)
{
    auto* view = qobject_cast<SelectionToolbarView*>(monitor.panel().content());
    if (!view)
        return false;
    for (auto* b : view->buttons())
        if (b->objectName() == id) {
            b->click();
            return true;
        }
    if (view->moreButton())
        for (QAction* item : view->overflowMenu()->actions())
            if (item->objectName() == id) {
                item->trigger();
                return true;
            }
    return false;
}

} // namespace ToolbarDriver
