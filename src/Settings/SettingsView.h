#pragma once

#include "Settings/FinderSettingsView.h"
#include "Settings/GeneralSettingsView.h"
#include "Settings/SelectionSettingsView.h"
#include "Settings/SettingsModel.h"

#include <QWidget>

#include <functional>

class QTabWidget;

// The settings window: five tabs, General, Finder, Selection, Scroll and Radial, each a page
// that edits the application model. The pages of other modules (the AI sections, the update
// controls, the scroll and radial pages) are handed in as builders; a missing one is said to be
// missing. A new window always opens on its first tab; the chosen tab is never stored.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    struct Hosted {
        GeneralSettingsView::Hosted general;
        FinderSettingsView::Hosted finder;
        SelectionSettingsView::Hosted selection;
        std::function<QWidget*(QWidget* parent)> scroll;
        std::function<QWidget*(QWidget* parent)> radial;
    };

    enum class Tab { general, finder, selection, scroll, radial };

    static constexpr int width = 620;
    static constexpr int height = 560;

    SettingsView(SettingsModel& model, Hosted hosted, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }
    QWidget* page(Tab tab) const;
    GeneralSettingsView* general() const { return m_general; }
    FinderSettingsView* finder() const { return m_finder; }
    SelectionSettingsView* selection() const { return m_selection; }

private:
    QTabWidget* m_tabs = nullptr;
    GeneralSettingsView* m_general = nullptr;
    FinderSettingsView* m_finder = nullptr;
    SelectionSettingsView* m_selection = nullptr;
};
