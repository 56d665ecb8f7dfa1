#include "Settings/FinderSettingsView.h"

#include "ActionCore/ActionCoreStrings.h"
#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/LocalActionsStrings.h"
#include "LocalActions/Runners/AppLauncher.h"
#include "Settings/NewFileSettingsView.h"
#include "Settings/SettingsForm.h"
#include "Settings/SubPagePicker.h"
#include "ViewStyle/ViewStyle.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

using SettingsForm::text;

FinderActionRow::FinderActionRow(SettingsModel& model, ActionDefinition action, QWidget* parent)
    : QWidget(parent), m_model(model), m_action(std::move(action))
{
    setObjectName(m_action.id);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    // The file-manager actions' titles live with the local actions.
    const QString title = ActionCoreStrings::string(m_action.titleKey);
    m_toggle = new QCheckBox(title != m_action.titleKey ? title : LocalActionsStrings::string(m_action.titleKey), this);
    row->addWidget(m_toggle);
    row->addStretch(1);
    m_pin = new QToolButton(this);
    m_pin->setAutoRaise(true);
    m_pin->setToolTip(text(QStringLiteral("settings.finder.actions.pin")));
    row->addWidget(m_pin);
    connect(m_toggle, &QCheckBox::toggled, this, [this](bool on) { m_model.setFinderAction(m_action.id, on); });
    connect(m_pin, &QToolButton::clicked, this, [this] { m_model.toggleFinderActionPromotion(m_action.id); });
    refresh();
}

bool FinderActionRow::canPin() const
{
    const auto& menu = m_model.menuPreferences();
    return menu.usesSingleSubmenu && menu.isActionEnabled(m_action.id);
}

void FinderActionRow::refresh()
{
    const auto& menu = m_model.menuPreferences();
    {
        const QSignalBlocker block(m_toggle);
        m_toggle->setChecked(menu.isActionEnabled(m_action.id));
    }
    const bool pinned = menu.isPromoted(m_action.id);
    m_pin->setVisible(canPin());
    m_pin->setEnabled(pinned || menu.canPromoteMore());
    const QString symbol = pinned ? QStringLiteral("pin.fill") : QStringLiteral("pin");
    m_pin->setProperty("symbolName", symbol);
    m_pin->setIcon(ViewStyle::themedSymbol(symbol, pinned ? ViewStyle::accent() : ViewStyle::secondaryColor()));
    m_pin->setChecked(pinned);
}

FinderMenuPage::FinderMenuPage(SettingsModel& model, QWidget* parent) : QScrollArea(parent), m_model(model)
{
    QVBoxLayout* column = ViewStyle::preparePage(this, QStringLiteral("FinderMenuPage"));
    QWidget* content = widget();

    // 1: grouped in one submenu or flat
    auto* body = SettingsForm::addSection(column, QStringLiteral("settings.finder.mechanisms"), {});
    auto* layoutRow = new QHBoxLayout;
    layoutRow->addWidget(new QLabel(text(QStringLiteral("settings.finder.layout")), content), 0, Qt::AlignTop);
    layoutRow->addStretch(1);
    auto* options = new QVBoxLayout;
    m_grouped = new QRadioButton(text(QStringLiteral("settings.finder.layout.grouped")), content);
    m_grouped->setObjectName(QStringLiteral("settings.finder.layout.grouped"));
    m_flat = new QRadioButton(text(QStringLiteral("settings.finder.layout.flat")), content);
    m_flat->setObjectName(QStringLiteral("settings.finder.layout.flat"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_grouped);
    group->addButton(m_flat);
    options->addWidget(m_grouped);
    options->addWidget(m_flat);
    layoutRow->addLayout(options);
    body->addLayout(layoutRow);
    connect(m_grouped, &QRadioButton::clicked, this, [this] {
        FinderMenuPreferences menu = m_model.menuPreferences();
        menu.usesSingleSubmenu = true;
        m_model.setMenuPreferences(menu);
    });
    connect(m_flat, &QRadioButton::clicked, this, [this] {
        FinderMenuPreferences menu = m_model.menuPreferences();
        menu.usesSingleSubmenu = false;
        m_model.setMenuPreferences(menu);
    });

    // 2: the terminal
    body = SettingsForm::addSection(column, {}, {});
    auto* terminalRow = new QHBoxLayout;
    terminalRow->addWidget(new QLabel(text(QStringLiteral("settings.finder.terminal")), content));
    terminalRow->addStretch(1);
    m_terminal = new QComboBox(content);
    m_terminal->setObjectName(QStringLiteral("settings.finder.terminal"));
    m_terminal->addItem(text(QStringLiteral("settings.finder.terminal.automatic")), automatic);
    for (const auto& terminal : AppLauncher::installedTerminals(*model.services().workspace))
        m_terminal->addItem(terminal.name, terminal.bundleID);
    terminalRow->addWidget(m_terminal);
    body->addLayout(terminalRow);
    connect(m_terminal, &QComboBox::activated, this,
            [this](int index) { setTerminal(m_terminal->itemData(index).toString()); });

    // 3: the actions
    body = SettingsForm::addSection(column, QStringLiteral("settings.finder.actions"), QStringLiteral("settings.finder.actions.hint"),
                                    nullptr,
                                    text(QStringLiteral("settings.finder.actions.hint")).arg(FinderMenuPreferences::maximumPromotedActions));
    for (const ActionDefinition& action : FinderActionCatalog::all()) {
        auto* row = new FinderActionRow(model, action, content);
        m_rows << row;
        body->addWidget(row);
    }
    column->addStretch(1);

    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &FinderMenuPage::refresh);
    refresh();
}

void FinderMenuPage::setTerminal(const QString& value)
{
    FinderMenuPreferences menu = m_model.menuPreferences();
    if (value == automatic)
        menu.preferredTerminalBundleID.reset();
    else
        menu.preferredTerminalBundleID = value;
    m_model.setMenuPreferences(menu);
}

FinderActionRow* FinderMenuPage::row(const QString& actionID) const
{
    for (FinderActionRow* r : m_rows)
        if (r->action().id == actionID)
            return r;
    return nullptr;
}

void FinderMenuPage::refresh()
{
    const auto& menu = m_model.menuPreferences();
    m_grouped->setChecked(menu.usesSingleSubmenu);
    m_flat->setChecked(!menu.usesSingleSubmenu);
    // A stored terminal that is no longer installed matches no option until the user picks one.
    m_terminal->setCurrentIndex(m_terminal->findData(menu.preferredTerminalBundleID.value_or(automatic)));
    for (FinderActionRow* r : m_rows)
        r->refresh();
}

QString FinderSettingsView::toRaw(Page page)
{
    switch (page) {
    case Page::menu: return QStringLiteral("menu");
    case Page::newFile: return QStringLiteral("newFile");
    case Page::actions: return QStringLiteral("actions");
    }
    return {};
}

std::optional<FinderSettingsView::Page> FinderSettingsView::pageFromRaw(const QString& raw)
{
    for (Page p : pages)
        if (toRaw(p) == raw)
            return p;
    return std::nullopt;
}

namespace {

QStringList finderTitles()
{
    QStringList titles;
    for (auto p : FinderSettingsView::pages)
        titles << text(FinderSettingsView::titleKey(p));
    return titles;
}

} // namespace

FinderSettingsView::FinderSettingsView(SettingsModel& model, Hosted hosted, QWidget* parent)
    : SubPageHost(finderTitles(), [this](int i, QWidget* p) { return build(pages[size_t(i)], p); }, parent)
    , m_model(model)
    , m_hosted(std::move(hosted))
{
    setObjectName(QStringLiteral("FinderSettingsView"));
    setPage(Page::menu);
}

QWidget* FinderSettingsView::build(Page page, QWidget* parent)
{
    switch (page) {
    case Page::menu: return new FinderMenuPage(m_model, parent);
    case Page::newFile: return new NewFileSettingsView(m_model, m_hosted.chooseTemplates, parent);
    case Page::actions: return m_hosted.actions ? m_hosted.actions(parent) : nullptr;
    }
    return nullptr;
}
