#pragma once

#include "ActionCore/ActionDefinition.h"
#include "Settings/SettingsModel.h"
#include "Settings/SubPagePicker.h"

#include <QScrollArea>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QToolButton;
class QVBoxLayout;
class SubPagePicker;

// One built-in file-manager action: its switch and, while the actions are grouped and it is on,
// the pin that lifts it beside the submenu.
class FinderActionRow : public QWidget {
    Q_OBJECT
public:
    FinderActionRow(SettingsModel& model, ActionDefinition action, QWidget* parent = nullptr);
    void refresh();

    bool canPin() const;
    QCheckBox* toggle() const { return m_toggle; }
    QToolButton* pinButton() const { return m_pin; }
    const ActionDefinition& action() const { return m_action; }

private:
    SettingsModel& m_model;
    ActionDefinition m_action;
    QCheckBox* m_toggle = nullptr;
    QToolButton* m_pin = nullptr;
};

// The Finder menu sub-page: grouped or flat, the terminal, and the built-in actions.
class FinderMenuPage : public QScrollArea {
    Q_OBJECT
public:
    // The terminal picker's choice of no fixed terminal.
    inline static const QString automatic = QStringLiteral("__automatic__");

    explicit FinderMenuPage(SettingsModel& model, QWidget* parent = nullptr);
    void refresh();

    QRadioButton* groupedOption() const { return m_grouped; }
    QRadioButton* flatOption() const { return m_flat; }
    QComboBox* terminalPicker() const { return m_terminal; }
    FinderActionRow* row(const QString& actionID) const;

private:
    void setTerminal(const QString& value);

    SettingsModel& m_model;
    QRadioButton* m_grouped = nullptr;
    QRadioButton* m_flat = nullptr;
    QComboBox* m_terminal = nullptr;
    QList<FinderActionRow*> m_rows;
};

// The Finder tab: the sub-page switcher above the Finder menu, the new-file settings or the AI
// actions of files scope (hosted from the AI module).
class FinderSettingsView : public SubPageHost {
    Q_OBJECT
public:
    enum class Page { menu, newFile, actions };
    static constexpr std::array pages{Page::menu, Page::newFile, Page::actions};
    static QString toRaw(Page page);
    static std::optional<Page> pageFromRaw(const QString& raw);
    static QString titleKey(Page page) { return QStringLiteral("settings.finder.page.") + toRaw(page); }

    struct Hosted {
        std::function<QWidget*(QWidget* parent)> actions;
        // The template files to import; the system's file chooser when unset.
        std::function<QStringList(QWidget* parent)> chooseTemplates;
    };

    FinderSettingsView(SettingsModel& model, Hosted hosted = {}, QWidget* parent = nullptr);

    Page page() const { return pages[size_t(pageIndex())]; }
    void setPage(Page page) { setPageIndex(int(page)); }

private:
    QWidget* build(Page page, QWidget* parent);

    SettingsModel& m_model;
    Hosted m_hosted;
};
