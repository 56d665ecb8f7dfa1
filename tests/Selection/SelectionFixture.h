#pragma once

#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedAccessibility.h"
#include "Platform/Simulated/SimulatedEventMonitors.h"
#include "Platform/Simulated/SimulatedKeystrokes.h"
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedScreens.h"
#include "Platform/Simulated/SimulatedTextApplication.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Platform/Simulated/SimulatedWindowList.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "SecurityCore/ModuleStrings.h"

#include <QTemporaryDir>

#include <memory>

// The simulated desktop of the selection tests: one 1440 × 900 screen, a clock that moves only
// when told, and typed handles to script every service.
struct SelectionFixture {
    QTemporaryDir root;
    Platform::Services services = [this] {
        auto s = Platform::makeSimulatedServices(Platform::Folders::under(root.path()));
        s.clock = std::make_shared<Platform::ManualClock>();
        ModuleStrings::setUserDefaults(s.userDefaults);
        return s;
    }();

    Platform::SimulatedAccessibility& ax() { return static_cast<Platform::SimulatedAccessibility&>(*services.accessibility); }
    Platform::SimulatedEventMonitors& input() { return static_cast<Platform::SimulatedEventMonitors&>(*services.eventMonitors); }
    Platform::SimulatedKeystrokes& keys() { return static_cast<Platform::SimulatedKeystrokes&>(*services.keystrokes); }
    Platform::SimulatedWindowList& windows() { return static_cast<Platform::SimulatedWindowList&>(*services.windowList); }
    Platform::SimulatedWorkspace& workspace() { return static_cast<Platform::SimulatedWorkspace&>(*services.workspace); }
    Platform::SimulatedScreens& screens() { return static_cast<Platform::SimulatedScreens&>(*services.screens); }
    Platform::ManualClock& clock() { return static_cast<Platform::ManualClock&>(*services.clock); }
    Platform::SimulatedPasteboard& board()
    {
        return static_cast<Platform::SimulatedPasteboard&>(*services.pasteboards->general());
    }

    Platform::SimulatedTextApplication::Desktop desktop()
    {
        return {&ax(), &keys(), services.pasteboards.get(), &workspace(), &windows()};
    }

    // An editor in front whose text field holds `text` with `selected` selected.
    std::unique_ptr<Platform::SimulatedTextApplication> editor(const QString& text, const QString& selected,
                                                               Platform::SimulatedTextApplication::Options options = {})
    {
        auto app = std::make_unique<Platform::SimulatedTextApplication>(desktop(), options);
        app->setText(text, {0, 0});
        app->select(selected);
        app->bringToFront();
        return app;
    }

    // A user's clipboard of two items, one with two types.
    QList<Platform::PasteboardItem> userClipboard()
    {
        Platform::PasteboardItem first;
        first.setData(Platform::Pasteboard::typeString, "mine");
        first.setData(Platform::Pasteboard::typeHTML, "<b>mine</b>");
        Platform::PasteboardItem second;
        second.setData(Platform::Pasteboard::typePNG, QByteArray("\x89PNG\0\x01", 6));
        return {first, second};
    }
};
