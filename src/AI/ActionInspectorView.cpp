#include "AI/ActionInspectorView.h"

#include "AI/AIStrings.h"
#include "AI/AIViewModel.h"
#include "AI/PluginPasteView.h"
#include "AI/PluginProblem.h"
#include "AIProviders/PluginBridge.h"
#include "ViewStyle/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return AIStrings::string(QString::fromLatin1(key));
}

QPushButton* button(const char* key, const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(text(key), parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QString ActionInspectorView::sourceOf(const AIActionTemplate& action)
{
    return PluginBridge::describing({action}, action.titleKey, std::nullopt).encoded();
}

ActionInspectorView::ActionInspectorView(AIViewModel& ai, AIActionTemplate action, QWidget* parent)
    : QDialog(parent)
    , m_ai(ai)
    , m_action(std::move(action))
{
    setObjectName(QStringLiteral("inspector"));
    setWindowTitle(text("inspector.title"));
    setFixedSize(560, 540);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(ViewStyle::title(text("inspector.title"), this));
    layout->addWidget(ViewStyle::subtitle(text("inspector.subtitle"), this));
    m_editor = ViewStyle::codeEditor(this);
    m_editor->setObjectName(QStringLiteral("source"));
    layout->addWidget(m_editor, 1);

    m_note = new QWidget(this);
    m_note->setObjectName(QStringLiteral("note"));
    auto* note = new QHBoxLayout(m_note);
    note->setContentsMargins(0, 0, 0, 0);
    m_noteIcon = new QLabel(m_note);
    m_noteIcon->setObjectName(QStringLiteral("noteIcon"));
    m_noteText = new QLabel(m_note);
    m_noteText->setObjectName(QStringLiteral("noteText"));
    m_noteText->setWordWrap(true);
    m_noteText->setFont(ViewStyle::captionFont());
    note->addWidget(m_noteIcon, 0, Qt::AlignTop);
    note->addWidget(m_noteText, 1);
    layout->addWidget(m_note);

    auto* buttons = new QHBoxLayout;
    auto* cancel = button("composer.cancel", QStringLiteral("cancel"), this);
    m_save = button("inspector.save", QStringLiteral("save"), this);
    m_save->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &ActionInspectorView::save);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &ActionInspectorView::revalidate);
    m_shown = sourceOf(m_action);
    setSource(m_shown);
}

QString ActionInspectorView::source() const
{
    return m_editor->toPlainText();
}

void ActionInspectorView::setSource(const QString& source)
{
    m_editor->setPlainText(source);
}

void ActionInspectorView::revalidate()
{
    const QString current = source();
    m_edited.reset();
    m_problem.reset();
    const auto checked = PluginPasteView::validate(current);
    if (checked && *checked)
        m_edited = **checked;
    else
        m_problem = checked ? checked->error() : PluginProblem::describe(PluginManifest::decode(current).error());

    if (m_problem) {
        ViewStyle::setStatus(m_noteIcon, m_noteText, *m_problem, ViewStyle::Status::problem);
        m_note->show();
    } else if (std::holds_alternative<ScriptAction>(m_action.kind.value)) {
        ViewStyle::setStatus(m_noteIcon, m_noteText, text("inspector.editRevokes"), ViewStyle::Status::note,
                             QStringLiteral("lock.rotation"));
        m_noteIcon->show();
        m_note->show();
    } else {
        m_note->hide();
    }
    m_save->setEnabled(m_edited.has_value());
}

void ActionInspectorView::save()
{
    if (!m_edited)
        return;
    // Unedited, the action stays exactly as stored: the text is not a lossless copy of it.
    if (source() == m_shown) {
        accept();
        return;
    }
    const QList<AIActionTemplate> templates = PluginBridge::templates(*m_edited);
    if (templates.isEmpty())
        return;
    QList<AIActionTemplate> actions = m_ai.customActions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        if (actions[i].id != m_action.id)
            continue;
        AIActionTemplate replacement = templates.first();
        replacement.id = m_action.id;
        replacement.isBuiltIn = false;
        actions[i] = replacement;
        m_ai.setCustomActions(actions);
        accept();
        return;
    }
}

ActionExportView::ActionExportView(QList<AIActionTemplate> actions, std::function<void(const PluginManifest&)> onExport,
                                   QWidget* parent)
    : QDialog(parent)
    , m_actions(std::move(actions))
    , m_onExport(std::move(onExport))
{
    setObjectName(QStringLiteral("exportChooser"));
    setWindowTitle(text("export.title"));
    setFixedSize(480, 420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(ViewStyle::title(text("export.title"), this));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setPlaceholderText(text("export.name"));
    m_name->setText(text("export.defaultName"));
    layout->addWidget(m_name);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("actions"));
    m_list->setMinimumHeight(220);
    for (const AIActionTemplate& action : m_actions) {
        auto* item = new QListWidgetItem(ViewStyle::symbol(action.symbolName),
                                         action.titleKey + QStringLiteral("   ") + AIStrings::string(titleKey(action.scope)),
                                         m_list);
        item->setData(Qt::UserRole, action.id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        m_selected.insert(action.id);
    }
    layout->addWidget(m_list, 1);

    m_problemRow = new QWidget(this);
    auto* problem = new QHBoxLayout(m_problemRow);
    problem->setContentsMargins(0, 0, 0, 0);
    m_problemIcon = new QLabel(m_problemRow);
    m_problemText = new QLabel(m_problemRow);
    m_problemText->setObjectName(QStringLiteral("problem"));
    m_problemText->setWordWrap(true);
    m_problemText->setFont(ViewStyle::captionFont());
    problem->addWidget(m_problemIcon, 0, Qt::AlignTop);
    problem->addWidget(m_problemText, 1);
    layout->addWidget(m_problemRow);

    auto* buttons = new QHBoxLayout;
    auto* all = button("export.all", QStringLiteral("all"), this);
    auto* none = button("export.none", QStringLiteral("none"), this);
    for (QPushButton* b : {all, none}) {
        b->setFlat(true);
        b->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); border: none; padding: 0 4px; }"));
    }
    auto* cancel = button("composer.cancel", QStringLiteral("cancel"), this);
    m_export = button("export.export", QStringLiteral("export"), this);
    m_export->setDefault(true);
    buttons->addWidget(all);
    buttons->addWidget(none);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(m_export);
    layout->addLayout(buttons);

    connect(all, &QPushButton::clicked, this, &ActionExportView::selectAll);
    connect(none, &QPushButton::clicked, this, &ActionExportView::selectNone);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &ActionExportView::exportChosen);
    connect(m_name, &QLineEdit::textChanged, this, &ActionExportView::refresh);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        setSelected(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
    });
    refresh();
}

void ActionExportView::setSelected(const QString& id, bool on)
{
    const bool was = m_selected.contains(id);
    if (was == on)
        return;
    if (on)
        m_selected.insert(id);
    else
        m_selected.remove(id);
    refresh();
}

void ActionExportView::selectAll()
{
    for (const AIActionTemplate& action : m_actions)
        m_selected.insert(action.id);
    refresh();
}

void ActionExportView::selectNone()
{
    m_selected.clear();
    refresh();
}

QString ActionExportView::name() const
{
    // A blank name is no name: the plug-in is called by the default instead.
    const QString typed = m_name->text().trimmed();
    return typed.isEmpty() ? text("export.defaultName") : m_name->text();
}

std::expected<PluginManifest, QString> ActionExportView::chosenManifest() const
{
    QList<AIActionTemplate> chosen;
    for (const AIActionTemplate& action : m_actions)
        if (m_selected.contains(action.id))
            chosen << action;
    const PluginManifest manifest = PluginBridge::describing(chosen, name(), std::nullopt);
    // What is exported must be a plug-in that the import takes back.
    const auto checked = PluginManifest::decode(manifest.encoded());
    if (!checked)
        return std::unexpected(PluginProblem::describe(checked.error()));
    return *checked;
}

void ActionExportView::exportChosen()
{
    if (m_selected.isEmpty())
        return;
    const auto manifest = chosenManifest();
    if (!manifest) {
        refresh();
        return;
    }
    if (m_onExport)
        m_onExport(*manifest);
    accept();
}

void ActionExportView::refresh()
{
    {
        const QSignalBlocker block(m_list);
        for (int i = 0; i < m_list->count(); ++i) {
            QListWidgetItem* item = m_list->item(i);
            item->setCheckState(m_selected.contains(item->data(Qt::UserRole).toString()) ? Qt::Checked : Qt::Unchecked);
        }
    }
    const auto manifest = m_selected.isEmpty() ? std::expected<PluginManifest, QString>() : chosenManifest();
    m_problemRow->setVisible(!manifest);
    ViewStyle::setStatus(m_problemIcon, m_problemText, manifest ? QString() : manifest.error(),
                         manifest ? ViewStyle::Status::none : ViewStyle::Status::problem);
    m_export->setEnabled(!m_selected.isEmpty() && manifest.has_value());
}
