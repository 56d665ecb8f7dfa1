#pragma once

#include "ActionCore/ActionDefinition.h"

#include <QAbstractButton>
#include <QList>
#include <QMenu>
#include <QRectF>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <optional>

// The row of action buttons beside a selection, with a "more" menu for the overflow. It keeps no
// state beyond hover and causes nothing itself: every press and hover goes out through the
// functions it was given. Hover frames are in the row's own coordinates (its top-left corner).
class SelectionToolbarView : public QWidget {
    Q_OBJECT
public:
    using Title = std::function<QString(const ActionDefinition&)>;
    using Hover = std::function<void(const std::optional<QString>& title, const QRectF& frame)>;
    using Act = std::function<void(const ActionDefinition&)>;

    SelectionToolbarView(QList<ActionDefinition> actions, QList<ActionDefinition> overflow, Title title, Hover onHover,
                         Act onAction, QWidget* parent = nullptr);

    // For tests and accessibility: the row's buttons in order, and the "more" button (null
    // without overflow).
    QList<QAbstractButton*> buttons() const { return m_buttons; }
    QToolButton* moreButton() const { return m_more; }
    // The "more" button's menu with its items, made now if it has not been opened yet (null
    // without overflow).
    QMenu* overflowMenu();

private:
    QList<QAbstractButton*> m_buttons;
    QToolButton* m_more = nullptr;
    std::function<void()> m_menuItems; // makes the menu's items; empty once it has
};

// One icon-only button of the row: its symbol, a rounded highlight while hovered.
class ToolbarButton : public QAbstractButton {
    Q_OBJECT
public:
    ToolbarButton(const QString& symbolName, const QString& title, SelectionToolbarView::Hover onHover,
                  QWidget* parent = nullptr);
    QSize sizeHint() const override { return {30, 26}; }
    bool isHovering() const { return m_hovering; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QIcon m_icon;
    QString m_glyph;
    SelectionToolbarView::Hover m_onHover;
    bool m_hovering = false;
};

// The short confirmation after a text action put its result on the pasteboard.
class SelectionResultView : public QWidget {
    Q_OBJECT
public:
    explicit SelectionResultView(const QString& text, QWidget* parent = nullptr);
    QString text() const { return m_text; }

private:
    QString m_text;
};

// The hint bubble's text under a hovered button.
class ToolbarHintView : public QWidget {
    Q_OBJECT
public:
    explicit ToolbarHintView(const QString& text, QWidget* parent = nullptr);
};
