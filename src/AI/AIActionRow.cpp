#include "AI/AIActionRow.h"

#include "AI/AIStrings.h"
#include "ViewStyle/ViewStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Spaces and tabs only: a line break is not trimmed away.
bool isBlank(const QString& text)
{
    for (const QChar c : text)
        if (c != u'\t' && c.category() != QChar::Separator_Space)
            return false;
    return true;
}

QPushButton* link(const QString& key, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(AIStrings::string(key), parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); border: none; padding: 0 4px; }"
                                         " QPushButton:disabled { color: palette(mid); }"));
    return button;
}

} // namespace

AIActionRow::AIActionRow(const QString& title, const QString& symbol, Handlers handlers, QWidget* parent)
    : QWidget(parent)
    , m_handlers(std::move(handlers))
{
    setObjectName(QStringLiteral("actionRow:") + title);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(8);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("symbol"));
    icon->setFixedWidth(22);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(ViewStyle::symbol(symbol).pixmap(16, 16));
    layout->addWidget(icon);

    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("title"));
    layout->addWidget(m_title, 1);

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("name"));
    m_field->setAccessibleName(AIStrings::string(QStringLiteral("settings.actions.name")));
    m_field->installEventFilter(this);
    layout->addWidget(m_field, 1);
    m_done = link(QStringLiteral("settings.actions.renameDone"), QStringLiteral("renameDone"), this);
    layout->addWidget(m_done);

    m_commands = new QWidget(this);
    auto* commands = new QHBoxLayout(m_commands);
    commands->setContentsMargins(0, 0, 0, 0);
    if (m_handlers.onRename) {
        auto* rename = link(QStringLiteral("settings.actions.rename"), QStringLiteral("rename"), m_commands);
        connect(rename, &QPushButton::clicked, this, &AIActionRow::beginEditing);
        commands->addWidget(rename);
    }
    if (m_handlers.onInspect) {
        auto* inspect = link(QStringLiteral("settings.actions.inspect"), QStringLiteral("inspect"), m_commands);
        connect(inspect, &QPushButton::clicked, this, [this] { m_handlers.onInspect(); });
        commands->addWidget(inspect);
    }
    if (m_handlers.onRemove) {
        auto* remove = link(QStringLiteral("settings.actions.remove"), QStringLiteral("remove"), m_commands);
        connect(remove, &QPushButton::clicked, this, [this] { m_handlers.onRemove(); });
        commands->addWidget(remove);
    }
    layout->addWidget(m_commands);

    connect(m_field, &QLineEdit::returnPressed, this, &AIActionRow::commit);
    connect(m_field, &QLineEdit::textChanged, this, &AIActionRow::updateDone);
    connect(m_done, &QPushButton::clicked, this, &AIActionRow::commit);
    setEditing(false);
}

QString AIActionRow::draftName() const
{
    return m_field->text();
}

void AIActionRow::setEditing(bool editing)
{
    m_editing = editing;
    m_title->setVisible(!editing);
    m_commands->setVisible(!editing);
    m_field->setVisible(editing);
    m_done->setVisible(editing);
    updateDone();
}

void AIActionRow::updateDone()
{
    m_done->setEnabled(!isBlank(m_field->text()));
}

void AIActionRow::beginEditing()
{
    if (!m_handlers.onRename)
        return;
    m_field->setText(m_title->text());
    setEditing(true);
    m_field->setFocus(Qt::OtherFocusReason);
    m_field->selectAll();
}

void AIActionRow::commit()
{
    if (!m_editing || !m_handlers.onRename)
        return;
    // Handed over as typed: trimming is the handler's business.
    if (m_handlers.onRename(m_field->text()))
        setEditing(false);
}

void AIActionRow::cancelEditing()
{
    setEditing(false);
}

void AIActionRow::focusLost()
{
    if (!m_editing)
        return;
    if (isBlank(m_field->text())) {
        setEditing(false);
        return;
    }
    if (m_handlers.onRename && m_handlers.onRename(m_field->text()))
        setEditing(false);
}

bool AIActionRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancelEditing();
            return true;
        }
        // Focus moving to the Done link is not leaving the rename.
        if (event->type() == QEvent::FocusOut && !m_done->underMouse())
            focusLost();
    }
    return QWidget::eventFilter(watched, event);
}
