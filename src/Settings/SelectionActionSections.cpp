#include "Settings/SelectionActionSections.h"

#include "AIProviders/AIProvidersStrings.h"
#include "ActionCore/ActionArranger.h"
#include "ActionCore/ActionCoreStrings.h"
#include "ContextCore/SearchEngine.h"
#include "ContextCore/TranslationService.h"
#include "Platform/UserDefaults.h"
#include "Selection/CurrencyPreference.h"
#include "Settings/SettingsForm.h"
#include "ViewStyle/ViewStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using SettingsForm::text;

namespace {

const QString searchID = QStringLiteral("text.search");
const QString translateID = QStringLiteral("text.translate");
const QString currencyID = QStringLiteral("text.convertCurrency");

} // namespace

bool SelectionActionSettings::hasOptions(const QString& actionID)
{
    return actionID == searchID || actionID == translateID || actionID == currencyID;
}

SelectionActionSettings::SelectionActionSettings(SettingsModel& model, const QString& actionID, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("options:") + actionID);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(30, 0, 0, 0);
    column->setSpacing(4);
    if (actionID == searchID) {
        QList<std::pair<QString, QString>> options;
        for (const SearchEngine& e : SearchEngine::all())
            options.append({e.displayName(), e.id});
        addPicker(QStringLiteral("settings.selection.searchEngine"), searchEngineKey, SearchEngine::defaultEngine().id, options);
    } else if (actionID == translateID) {
        QList<std::pair<QString, QString>> services;
        for (const TranslationService& s : TranslationService::all())
            services.append({s.displayName, s.id});
        addPicker(QStringLiteral("settings.selection.translation"), translationKey,
                  TranslationService::defaultService().id, services);
        QList<std::pair<QString, QString>> targets;
        for (const TranslationTarget& t : TranslationTarget::all())
            targets.append({t.displayName, t.id});
        addPicker(QStringLiteral("settings.selection.translateInto"), translationTargetKey,
                  TranslationTarget::defaultTarget().id, targets);
    } else if (actionID == currencyID) {
        QList<std::pair<QString, QString>> codes;
        for (const QString& code : CurrencyPreference::codes())
            codes.append({code, code});
        addPicker(QStringLiteral("settings.selection.currency"), targetCurrencyKey, CurrencyPreference::localCode(), codes);
    }
}

void SelectionActionSettings::addPicker(const QString& labelKey, const QString& key, const QString& absentValue,
                                        const QList<std::pair<QString, QString>>& options)
{
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(text(labelKey), this);
    label->setFont(ViewStyle::calloutFont());
    row->addWidget(label);
    row->addStretch(1);
    auto* picker = new QComboBox(this);
    picker->setObjectName(key);
    picker->setFont(ViewStyle::calloutFont());
    for (const auto& [name, value] : options)
        picker->addItem(name, value);
    // A stored value that matches no option stays stored, and no option is shown as chosen.
    auto& defaults = *m_model.services().userDefaults;
    picker->setCurrentIndex(picker->findData(defaults.stringValue(key).value_or(absentValue)));
    connect(picker, &QComboBox::activated, this, [this, picker, key](int index) {
        const QString value = picker->itemData(index).toString();
        auto& d = *m_model.services().userDefaults;
        if (d.stringValue(key) == value)
            return;
        d.setString(key, value);
        m_model.applySelectionOption(key);
    });
    row->addWidget(picker);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    m_pickers << picker;
}

QComboBox* SelectionActionSettings::picker(const QString& key) const
{
    for (QComboBox* p : m_pickers)
        if (p->objectName() == key)
            return p;
    return nullptr;
}

QString SelectionActionRow::title(const QString& titleKey)
{
    if (!titleKey.contains(u'.'))
        return titleKey;
    const QString action = ActionCoreStrings::string(titleKey);
    return action != titleKey ? action : AIProvidersStrings::string(titleKey);
}

SelectionActionRow::SelectionActionRow(SettingsModel& model, ActionDefinition action, bool isEnabled,
                                       Callbacks callbacks, QWidget* parent)
    : QWidget(parent), m_action(std::move(action))
{
    setObjectName(m_action.id);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* symbol = ViewStyle::symbolLabel(m_action.symbolName, 16, ViewStyle::secondaryColor(), this);
    symbol->setFixedWidth(22);
    row->addWidget(symbol);
    m_title = new QLabel(title(m_action.titleKey), this);
    row->addWidget(m_title);
    if (m_action.requiresAI) {
        m_aiMark = ViewStyle::symbolLabel(QStringLiteral("sparkles"), 12, ViewStyle::accent(), this);
        row->addWidget(m_aiMark);
    }
    row->addStretch(1);
    auto button = [this](const QString& symbolName, const QString& name) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setProperty("symbolName", symbolName);
        b->setIcon(ViewStyle::themedSymbol(symbolName, ViewStyle::secondaryColor()));
        return b;
    };
    m_up = button(QStringLiteral("chevron.up"), QStringLiteral("up"));
    m_down = button(QStringLiteral("chevron.down"), QStringLiteral("down"));
    row->addWidget(m_up);
    row->addWidget(m_down);
    m_toggle = new QCheckBox(this);
    m_toggle->setObjectName(QStringLiteral("toggle"));
    m_toggle->setAccessibleName(m_title->text());
    m_toggle->setChecked(isEnabled);
    row->addWidget(m_toggle);
    column->addLayout(row);
    if (isEnabled && SelectionActionSettings::hasOptions(m_action.id)) {
        m_options = new SelectionActionSettings(model, m_action.id, this);
        column->addWidget(m_options);
    }
    // The switch shows the preferences only; a click asks the model, which redraws the list.
    connect(m_toggle, &QCheckBox::clicked, this, [this, isEnabled, cb = callbacks.onToggle] {
        const QSignalBlocker block(m_toggle);
        m_toggle->setChecked(isEnabled);
        if (cb)
            cb();
    });
    connect(m_up, &QToolButton::clicked, this, [cb = callbacks.onMoveUp] { if (cb) cb(); });
    connect(m_down, &QToolButton::clicked, this, [cb = callbacks.onMoveDown] { if (cb) cb(); });
    setCursor(Qt::OpenHandCursor);
}

void SelectionActionRow::mousePressEvent(QMouseEvent* event)
{
    m_pressAt = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void SelectionActionRow::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    auto* sections = qobject_cast<SelectionActionSections*>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    if (!sections)
        return;
    const qsizetype offset = sections->rows().indexOf(this);
    auto* mime = new QMimeData;
    mime->setData(SelectionActionSections::dragType, QByteArray::number(offset));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(grab());
    drag->setHotSpot(m_pressAt);
    drag->exec(Qt::MoveAction);
}

SelectionActionSections::SelectionActionSections(SettingsModel& model, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("SelectionActionSections"));
    setAcceptDrops(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_hint = nullptr;
    const QString hint = text(QStringLiteral("settings.selectionActions.hint"))
                             .arg(ActionArranger::maxPrimaryActions)
                             .arg(ActionArranger::maxAIActions);
    QVBoxLayout* body = SettingsForm::addSection(column, QStringLiteral("settings.selectionActions.order"),
                                                 QStringLiteral("settings.selectionActions.hint"), nullptr, hint);
    m_hint = findChild<QLabel*>(QStringLiteral("settings.selectionActions.hint"));
    m_list = body->parentWidget();
    m_listLayout = body;
    m_listLayout->setSpacing(2);

    body = SettingsForm::addSection(column, {}, {});
    m_showAI = new QCheckBox(text(QStringLiteral("settings.selectionActions.showAI")), this);
    m_showAI->setObjectName(QStringLiteral("settings.selectionActions.showAI"));
    body->addWidget(m_showAI);
    connect(m_showAI, &QCheckBox::toggled, this, [this](bool on) { m_model.setShowsAIActions(on); });

    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &SelectionActionSections::rebuild);
    rebuild();
}

QList<ActionDefinition> SelectionActionSections::ordered() const
{
    return m_model.actionPreferences().ordering(m_model.allSelectionActions());
}

SelectionActionRow* SelectionActionSections::row(const QString& actionID) const
{
    for (SelectionActionRow* r : m_rows)
        if (r->action().id == actionID)
            return r;
    return nullptr;
}

void SelectionActionSections::rebuild()
{
    {
        const QSignalBlocker block(m_showAI);
        m_showAI->setChecked(m_model.actionPreferences().showsAIActions);
    }
    // The old rows may be the sender of the click being handled: out of the layout now, gone later.
    for (SelectionActionRow* r : std::as_const(m_rows)) {
        m_listLayout->removeWidget(r);
        r->hide();
        r->deleteLater();
    }
    m_rows.clear();
    const auto& preferences = m_model.actionPreferences();
    for (const ActionDefinition& action : ordered()) {
        const QString id = action.id;
        SelectionActionRow::Callbacks callbacks{
            .onToggle = [this, id] { m_model.toggleAction(id); },
            .onMoveUp = [this, id] { m_model.moveAction(id, -1, ordered()); },
            .onMoveDown = [this, id] { m_model.moveAction(id, +1, ordered()); },
        };
        auto* r = new SelectionActionRow(m_model, action, preferences.isEnabled(action), callbacks, m_list);
        m_listLayout->addWidget(r);
        m_rows << r;
    }
}

void SelectionActionSections::drop(qsizetype source, qsizetype destination)
{
    m_model.moveActions({source}, destination, ordered());
}

qsizetype SelectionActionSections::destinationAt(int y) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const QRect r = m_rows[i]->geometry().translated(m_list->mapTo(this, QPoint(0, 0)));
        if (y < r.center().y())
            return i;
    }
    return m_rows.size();
}

void SelectionActionSections::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(dragType))
        event->acceptProposedAction();
}

void SelectionActionSections::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(dragType))
        event->acceptProposedAction();
}

void SelectionActionSections::dropEvent(QDropEvent* event)
{
    bool ok = false;
    const qsizetype source = event->mimeData()->data(dragType).toLongLong(&ok);
    if (!ok || source < 0 || source >= m_rows.size())
        return;
    event->acceptProposedAction();
    const qsizetype destination = destinationAt(event->position().toPoint().y());
    // After the drag has ended: the dragged row is deleted by the redraw.
    QTimer::singleShot(0, this, [this, source, destination] { drop(source, destination); });
}
