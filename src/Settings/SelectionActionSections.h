#pragma once

#include "ActionCore/ActionDefinition.h"
#include "Settings/SettingsModel.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;
class QVBoxLayout;

// The options under the search, translate and convert-currency rows: pickers bound straight to
// the stored options, each change handed to the running toolbar.
class SelectionActionSettings : public QWidget {
    Q_OBJECT
public:
    inline static const QString searchEngineKey = QStringLiteral("selection.searchEngine");
    inline static const QString translationKey = QStringLiteral("selection.translationService");
    inline static const QString translationTargetKey = QStringLiteral("selection.translationTarget");
    inline static const QString targetCurrencyKey = QStringLiteral("selection.targetCurrency");

    // The actions that have options.
    static bool hasOptions(const QString& actionID);

    SelectionActionSettings(SettingsModel& model, const QString& actionID, QWidget* parent = nullptr);

    // The picker of a key; null when this action has none.
    QComboBox* picker(const QString& key) const;
    QList<QComboBox*> pickers() const { return m_pickers; }

private:
    void addPicker(const QString& labelKey, const QString& key, const QString& absentValue,
                   const QList<std::pair<QString, QString>>& options);

    SettingsModel& m_model;
    QList<QComboBox*> m_pickers;
};

// One action of the toolbar list: symbol, title, the AI mark, up and down, its switch, and the
// options block while it is on.
class SelectionActionRow : public QWidget {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void()> onToggle, onMoveUp, onMoveDown;
    };
    SelectionActionRow(SettingsModel& model, ActionDefinition action, bool isEnabled, Callbacks callbacks,
                       QWidget* parent = nullptr);

    // A title key with a dot is looked up (action strings, then AI provider strings); a title
    // without one is the user's own and shown as it is.
    static QString title(const QString& titleKey);

    const ActionDefinition& action() const { return m_action; }
    QLabel* titleLabel() const { return m_title; }
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }
    QCheckBox* toggle() const { return m_toggle; }
    QLabel* aiMark() const { return m_aiMark; }
    SelectionActionSettings* options() const { return m_options; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    ActionDefinition m_action;
    QLabel* m_title = nullptr;
    QLabel* m_aiMark = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    QCheckBox* m_toggle = nullptr;
    SelectionActionSettings* m_options = nullptr;
    QPoint m_pressAt;
};

// The two sections that end the toolbar sub-page: the ordered list of every selection action
// (switch, move, drag) with the toolbar's limits in the footer, and whether AI actions are offered.
class SelectionActionSections : public QWidget {
    Q_OBJECT
public:
    inline static const QString dragType = QStringLiteral("application/x-ambrel-action-offset");

    explicit SelectionActionSections(SettingsModel& model, QWidget* parent = nullptr);

    void rebuild();
    // The list as displayed: every action in the preferences' order.
    QList<ActionDefinition> ordered() const;
    QList<SelectionActionRow*> rows() const { return m_rows; }
    SelectionActionRow* row(const QString& actionID) const;
    QCheckBox* showAIToggle() const { return m_showAI; }
    QLabel* hint() const { return m_hint; }
    // Dropping the row at `source` before the row at `destination` (offsets in the displayed list).
    void drop(qsizetype source, qsizetype destination);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    qsizetype destinationAt(int y) const;

    SettingsModel& m_model;
    QWidget* m_list = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    QList<SelectionActionRow*> m_rows;
    QCheckBox* m_showAI = nullptr;
    QLabel* m_hint = nullptr;
};
