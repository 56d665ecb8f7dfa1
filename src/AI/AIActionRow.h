#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// One line of the AI action list: symbol and title, and where the page grants them, rename in
// place, inspect and remove. It only shows two strings and calls back.
class AIActionRow : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        std::function<bool(const QString& title)> onRename; // whether the title was taken
        std::function<void()> onInspect;
        std::function<void()> onRemove;
    };

    AIActionRow(const QString& title, const QString& symbol, Handlers handlers, QWidget* parent = nullptr);

    bool isEditing() const { return m_editing; }
    QString draftName() const;

    void beginEditing();
    void commit();
    void cancelEditing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setEditing(bool editing);
    void focusLost();
    void updateDone();

    Handlers m_handlers;
    bool m_editing = false;
    QLabel* m_title = nullptr;
    QLineEdit* m_field = nullptr;
    QPushButton* m_done = nullptr;
    QWidget* m_commands = nullptr;
};
