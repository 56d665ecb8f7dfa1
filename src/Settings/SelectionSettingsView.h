#pragma once

#include "Settings/SettingsModel.h"
#include "Settings/SubPagePicker.h"

#include <QScrollArea>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class SelectionActionSections;
class SubPagePicker;

// The toolbar sub-page: whether the toolbar shows on its own, then the action arrangement.
class SelectionToolbarPage : public QScrollArea {
    Q_OBJECT
public:
    inline static const QString autoShowKey = QStringLiteral("selection.autoShow");

    explicit SelectionToolbarPage(SettingsModel& model, QWidget* parent = nullptr);
    void refresh();

    QCheckBox* autoShowSwitch() const { return m_autoShow; }
    SelectionActionSections* actionSections() const { return m_sections; }

private:
    SettingsModel& m_model;
    QCheckBox* m_autoShow = nullptr;
    SelectionActionSections* m_sections = nullptr;
};

// One excluded application: its name (or identifier when it is not installed) and Remove.
class ExcludedAppRow : public QWidget {
    Q_OBJECT
public:
    ExcludedAppRow(const QString& bundleID, const QString& name, std::function<void()> onRemove, QWidget* parent = nullptr);
    QPushButton* removeButton() const { return m_remove; }
    QString name() const;

private:
    QLabel* m_name = nullptr;
    QPushButton* m_remove = nullptr;
};

// The excluded sub-page: the password applications at once, and the applications, by identifier,
// in which the toolbar never shows.
class SelectionExcludedPage : public QScrollArea {
    Q_OBJECT
public:
    // The application entries the user picks; empty when cancelled.
    using Chooser = std::function<QStringList(QWidget* parent)>;

    SelectionExcludedPage(SettingsModel& model, Chooser chooser = {}, QWidget* parent = nullptr);
    void refresh();
    // Adds each chosen application that has an identifier; anything else is skipped silently.
    void addApplications(const QStringList& paths);

    QCheckBox* passwordAppsSwitch() const { return m_passwordApps; }
    QLabel* emptyLabel() const { return m_empty; }
    QPushButton* addButton() const { return m_add; }
    QList<ExcludedAppRow*> rows() const { return m_rows; }
    bool isChoosingApp() const { return m_isChoosingApp; }

private:
    SettingsModel& m_model;
    Chooser m_chooser;
    bool m_isChoosingApp = false;
    QCheckBox* m_passwordApps = nullptr;
    QVBoxLayout* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_add = nullptr;
    QList<ExcludedAppRow*> m_rows;
    QStringList m_shown;
};

// The Selection tab: the sub-page switcher above the toolbar page, the AI actions of text scope
// (hosted from the AI module) and the excluded applications.
class SelectionSettingsView : public SubPageHost {
    Q_OBJECT
public:
    enum class Page { toolbar, actions, excluded };
    static constexpr std::array pages{Page::toolbar, Page::actions, Page::excluded};
    static QString toRaw(Page page);
    static std::optional<Page> pageFromRaw(const QString& raw);
    static QString titleKey(Page page) { return QStringLiteral("settings.selection.page.") + toRaw(page); }

    struct Hosted {
        std::function<QWidget*(QWidget* parent)> actions;
        SelectionExcludedPage::Chooser chooseApplications;
    };

    SelectionSettingsView(SettingsModel& model, Hosted hosted = {}, QWidget* parent = nullptr);

    Page page() const { return pages[size_t(pageIndex())]; }
    void setPage(Page page) { setPageIndex(int(page)); }

private:
    QWidget* build(Page page, QWidget* parent);

    SettingsModel& m_model;
    Hosted m_hosted;
};
