#include "Selection/SelectionToolbarView.h"

#include "ActionCore/ActionCoreStrings.h"
#include "Selection/SelectionStrings.h"
#include "ViewStyle/SymbolIcons.h"
#include "ViewStyle/ViewStyle.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <utility>

namespace {
constexpr int symbolSize = 16;

QFrame* verticalRule(int height)
{
    auto* rule = new QFrame;
    rule->setFrameShape(QFrame::VLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setFixedSize(1, height);
    ViewStyle::fade(rule, 0.18);
    return rule;
}

QPixmap symbolPixmap(const QString& symbolName, int size, const QWidget* widget)
{
    const QIcon icon = SymbolIcons::icon(symbolName);
    if (icon.isNull())
        return {};
    return icon.pixmap(QSize(size, size), widget->devicePixelRatioF());
}

// The hover report of any control: its title when entered, none when left, with its frame in
// the toolbar's coordinates.
QRectF frameInToolbar(const QWidget* control)
{
    const QWidget* toolbar = control->parentWidget();
    return QRectF(control->mapTo(toolbar, QPoint(0, 0)), control->size());
}

class MoreButton : public QToolButton {
public:
    MoreButton(QString title, SelectionToolbarView::Hover onHover)
        : m_title(std::move(title))
        , m_onHover(std::move(onHover))
    {
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        QToolButton::enterEvent(event);
        if (m_onHover)
            m_onHover(m_title, frameInToolbar(this));
    }
    void leaveEvent(QEvent* event) override
    {
        QToolButton::leaveEvent(event);
        if (m_onHover)
            m_onHover(std::nullopt, frameInToolbar(this));
    }

private:
    QString m_title;
    SelectionToolbarView::Hover m_onHover;
};

// The "more" button as a screen reader meets it: a menu button whose one child is its menu. A
// pop-up menu is no child of the application in the accessibility tree, and a button that only
// pops it up does not name it, so without this the overflow actions could not be reached.
class MoreButtonAccessible : public QAccessibleWidget {
public:
    explicit MoreButtonAccessible(QToolButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonMenu)
    {
    }
    int childCount() const override { return menu() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && menu() ? QAccessible::queryAccessibleInterface(menu()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && menu() && child->object() == menu() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override
    {
        // Later, not inside the screen reader's call: the menu runs a loop of its own.
        if (action == showMenuAction() || action == pressAction())
            QMetaObject::invokeMethod(static_cast<QToolButton*>(widget()), &QToolButton::showMenu, Qt::QueuedConnection);
    }

private:
    QMenu* menu() const { return static_cast<QToolButton*>(widget())->menu(); }
};

QAccessibleInterface* moreButtonAccessible(const QString& className, QObject* object)
{
    if (className != u"QToolButton")
        return nullptr;
    auto* button = dynamic_cast<MoreButton*>(object);
    return button ? new MoreButtonAccessible(button) : nullptr;
}
} // namespace

ToolbarButton::ToolbarButton(const QString& symbolName, const QString& title, SelectionToolbarView::Hover onHover,
                             QWidget* parent)
    : QAbstractButton(parent)
    , m_icon(SymbolIcons::icon(symbolName))
    , m_glyph(SymbolIcons::glyph(symbolName))
    , m_onHover(std::move(onHover))
{
    setFixedSize(30, 26);
    setToolTip(QString()); // the hint panel is the tooltip
    setAccessibleName(title);
    setText(title); // read by accessibility; not drawn
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
}

void ToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_hovering || isDown()) {
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(isDown() ? 0.16 : 0.09);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        p.fillPath(path, fill);
    }
    if (!m_icon.isNull()) {
        const QPixmap pm = m_icon.pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF());
        const QSizeF logical = pm.deviceIndependentSize();
        p.drawPixmap(QPointF((width() - logical.width()) / 2.0, (height() - logical.height()) / 2.0), pm);
        return;
    }
    QFont f = font();
    f.setPixelSize(14);
    f.setWeight(QFont::Medium);
    p.setFont(f);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), Qt::AlignCenter, m_glyph);
}

void ToolbarButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    m_hovering = true;
    update();
    if (m_onHover)
        m_onHover(text(), frameInToolbar(this));
}

void ToolbarButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    m_hovering = false;
    update();
    if (m_onHover)
        m_onHover(std::nullopt, frameInToolbar(this));
}

SelectionToolbarView::SelectionToolbarView(QList<ActionDefinition> actions, QList<ActionDefinition> overflow, Title title,
                                           Hover onHover, Act onAction, QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setSpacing(2);
    row->setContentsMargins(6, 5, 6, 5);
    row->setSizeConstraint(QLayout::SetFixedSize);
    for (const ActionDefinition& action : actions) {
        auto* button = new ToolbarButton(action.symbolName, title ? title(action) : action.titleKey, onHover, this);
        button->setObjectName(action.id);
        connect(button, &QAbstractButton::clicked, this, [onAction, action] {
            if (onAction)
                onAction(action);
        });
        row->addWidget(button, 0, Qt::AlignVCenter);
        m_buttons << button;
    }
    if (!overflow.isEmpty()) {
        static const bool accessible = [] {
            QAccessible::installFactory(moreButtonAccessible);
            return true;
        }();
        Q_UNUSED(accessible);
        auto* rule = verticalRule(16);
        row->addSpacing(2);
        row->addWidget(rule, 0, Qt::AlignVCenter);
        row->addSpacing(2);
        const QString moreTitle = ActionCoreStrings::string(QStringLiteral("action.more"));
        m_more = new MoreButton(moreTitle, onHover);
        m_more->setParent(this);
        m_more->setObjectName(QStringLiteral("more"));
        m_more->setAccessibleName(moreTitle);
        m_more->setAutoRaise(true);
        m_more->setFocusPolicy(Qt::NoFocus);
        m_more->setPopupMode(QToolButton::InstantPopup);
        m_more->setFixedSize(30, 26);
        // Thousands of imported actions would otherwise be laid out in columns across the whole
        // screen; one column that scrolls stays on it. (Read when the menu is made.)
        m_more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"
                                             " QMenu { menu-scrollable: 1; }"));
        const QIcon more = SymbolIcons::icon(QStringLiteral("ellipsis"));
        if (more.isNull())
            m_more->setText(SymbolIcons::glyph(QStringLiteral("ellipsis")));
        else
            m_more->setIcon(more);
        m_more->setIconSize(QSize(symbolSize, symbolSize));
        auto* menu = new QMenu(m_more);
        // The overflow may hold thousands of imported actions: its items are made when the menu
        // first opens, not for every toolbar shown, with one connection for them all.
        m_menuItems = [menu, overflow, title] {
            for (qsizetype i = 0; i < overflow.size(); ++i) {
                const ActionDefinition& action = overflow.at(i);
                QAction* item = menu->addAction(SymbolIcons::icon(action.symbolName), title ? title(action) : action.titleKey);
                item->setObjectName(action.id);
                item->setData(QVariant::fromValue(i));
            }
        };
        connect(menu, &QMenu::aboutToShow, this, [this] { overflowMenu(); });
        connect(menu, &QMenu::triggered, this, [onAction, overflow](QAction* item) {
            const qsizetype i = item->data().value<qsizetype>();
            if (onAction && i >= 0 && i < overflow.size())
                onAction(overflow.at(i));
        });
        m_more->setMenu(menu);
        row->addWidget(m_more, 0, Qt::AlignVCenter);
        // The open menu covers where the hint would be: the pointer has left the button for it.
        connect(menu, &QMenu::aboutToShow, this, [onHover, more = m_more] {
            if (onHover)
                onHover(std::nullopt, frameInToolbar(more));
        });
    }
}

QMenu* SelectionToolbarView::overflowMenu()
{
    if (!m_more)
        return nullptr;
    if (m_menuItems)
        std::exchange(m_menuItems, {})();
    return m_more->menu();
}

SelectionResultView::SelectionResultView(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
{
    auto* row = new QHBoxLayout(this);
    row->setSpacing(8);
    row->setContentsMargins(12, 7, 12, 7);
    row->setSizeConstraint(QLayout::SetFixedSize);

    auto* value = new QLabel(text);
    value->setObjectName(QStringLiteral("text"));
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(false);
    QFont f = value->font();
    f.setPixelSize(13);
    f.setWeight(QFont::Medium);
    value->setFont(f);
    row->addWidget(value, 0, Qt::AlignVCenter);

    row->addWidget(verticalRule(14), 0, Qt::AlignVCenter);

    auto* copiedIcon = new QLabel;
    const QPixmap check = symbolPixmap(QStringLiteral("checkmark"), 12, this);
    if (check.isNull())
        copiedIcon->setText(SymbolIcons::glyph(QStringLiteral("checkmark")));
    else
        copiedIcon->setPixmap(check);
    auto* copied = new QLabel(SelectionStrings::string(QStringLiteral("result.copied")));
    copied->setObjectName(QStringLiteral("copied"));
    QFont caption = copied->font();
    caption.setPixelSize(11);
    copied->setFont(caption);
    ViewStyle::fade(copied, 0.6);
    copiedIcon->setPalette(copied->palette());
    auto* label = new QHBoxLayout;
    label->setSpacing(4);
    label->addWidget(copiedIcon, 0, Qt::AlignVCenter);
    label->addWidget(copied, 0, Qt::AlignVCenter);
    row->addLayout(label);
}

ToolbarHintView::ToolbarHintView(const QString& text, QWidget* parent)
    : QWidget(parent)
{
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(9, 5, 9, 5);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("hint"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPixelSize(12);
    label->setFont(f);
    // Two lines at most within the bubble's 260 points.
    label->setMaximumWidth(260 - 18);
    // A short hint stays on one line; only a long one wraps.
    label->setMinimumWidth(qMin(QFontMetrics(f).horizontalAdvance(text) + 2, 260 - 18));
    label->setMaximumHeight(QFontMetrics(f).lineSpacing() * 2 + 2);
    box->addWidget(label);
}
