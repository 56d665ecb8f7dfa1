#include "Settings/SelectionSettingsView.h"

#include "LocalActions/Runners/AppLauncher.h"
#include "Platform/UserDefaults.h"
#include "Settings/ApplicationChooser.h"
#include "Settings/SelectionActionSections.h"
#include "Settings/SettingsForm.h"
#include "Settings/SubPagePicker.h"
#include "ViewStyle/ViewStyle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using SettingsForm::text;

SelectionToolbarPage::SelectionToolbarPage(SettingsModel& model, QWidget* parent) : QScrollArea(parent), m_model(model)
{
    QVBoxLayout* column = ViewStyle::preparePage(this, QStringLiteral("SelectionToolbarPage"));
    QWidget* content = widget();
    auto* body = SettingsForm::addSection(column, {}, {});
    m_autoShow = new QCheckBox(text(QStringLiteral("settings.selection.autoShow")), content);
    m_autoShow->setObjectName(QStringLiteral("settings.selection.autoShow"));
    body->addWidget(m_autoShow);
    connect(m_autoShow, &QCheckBox::toggled, this, [this](bool on) {
        m_model.services().userDefaults->setBool(autoShowKey, on);
        m_model.syncSelectionMonitor();
    });
    m_sections = new SelectionActionSections(model, content);
    column->addWidget(m_sections);
    column->addStretch(1);
    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &SelectionToolbarPage::refresh);
    connect(model.services().userDefaults.get(), &Platform::UserDefaults::changed, this, &SelectionToolbarPage::refresh);
    refresh();
}

void SelectionToolbarPage::refresh()
{
    const QSignalBlocker block(m_autoShow);
    m_autoShow->setChecked(m_model.services().userDefaults->boolValue(autoShowKey).value_or(true));
}

ExcludedAppRow::ExcludedAppRow(const QString& bundleID, const QString& name, std::function<void()> onRemove,
                               QWidget* parent)
    : QWidget(parent)
{
    setObjectName(bundleID);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_name = new QLabel(name, this);
    m_name->setTextFormat(Qt::PlainText);
    row->addWidget(m_name, 1);
    m_remove = ViewStyle::linkButton(text(QStringLiteral("settings.selection.excluded.remove")), this);
    m_remove->setObjectName(QStringLiteral("settings.selection.excluded.remove"));
    row->addWidget(m_remove);
    connect(m_remove, &QPushButton::clicked, this, [onRemove = std::move(onRemove)] { onRemove(); });
}

QString ExcludedAppRow::name() const
{
    return m_name->text();
}

SelectionExcludedPage::SelectionExcludedPage(SettingsModel& model, Chooser chooser, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_chooser(std::move(chooser))
{
    if (!m_chooser)
        m_chooser = [](QWidget* p) {
            return ApplicationChooser::choose(p, text(QStringLiteral("settings.selection.excluded.add")),
                                              text(QStringLiteral("settings.selection.excluded.chooser")));
        };
    QVBoxLayout* column = ViewStyle::preparePage(this, QStringLiteral("SelectionExcludedPage"));
    QWidget* content = widget();

    auto* body = SettingsForm::addSection(column, {}, QStringLiteral("settings.selection.excluded.passwordApps.hint"));
    m_passwordApps = new QCheckBox(text(QStringLiteral("settings.selection.excluded.passwordApps")), content);
    m_passwordApps->setObjectName(QStringLiteral("settings.selection.excluded.passwordApps"));
    body->addWidget(m_passwordApps);
    connect(m_passwordApps, &QCheckBox::toggled, this, [this](bool on) { m_model.setExcludesPasswordApps(on); });

    body = SettingsForm::addSection(column, QStringLiteral("settings.selection.excluded"),
                                    QStringLiteral("settings.selection.excludedHint"));
    m_list = new QVBoxLayout;
    m_list->setSpacing(6);
    body->addLayout(m_list);
    m_empty = ViewStyle::secondary(text(QStringLiteral("settings.selection.excluded.empty")), content, 1.0);
    m_empty->setObjectName(QStringLiteral("settings.selection.excluded.empty"));
    body->addWidget(m_empty);
    auto* addRow = new QHBoxLayout;
    m_add = new QPushButton(text(QStringLiteral("settings.selection.excluded.add")), content);
    m_add->setObjectName(QStringLiteral("settings.selection.excluded.add"));
    addRow->addWidget(m_add);
    addRow->addStretch(1);
    body->addLayout(addRow);
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_isChoosingApp = true;
        const QStringList chosen = m_chooser(this);
        m_isChoosingApp = false;
        addApplications(chosen);
    });
    column->addStretch(1);

    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &SelectionExcludedPage::refresh);
    refresh();
}

void SelectionExcludedPage::addApplications(const QStringList& paths)
{
    for (const QString& path : paths) {
        const auto id = ApplicationChooser::bundleIdentifier(path);
        if (!id)
            continue;
        QSet<QString> apps = m_model.blockedApps();
        apps.insert(*id);
        m_model.setBlockedApps(apps);
    }
}

void SelectionExcludedPage::refresh()
{
    {
        const QSignalBlocker block(m_passwordApps);
        m_passwordApps->setChecked(m_model.excludesPasswordApps());
    }
    QStringList ids(m_model.blockedApps().begin(), m_model.blockedApps().end());
    // By identifier, plain code-unit order, whatever the names.
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseSensitive) < 0; });
    m_empty->setVisible(ids.isEmpty());
    if (ids == m_shown)
        return;
    m_shown = ids;
    for (ExcludedAppRow* r : std::as_const(m_rows)) {
        m_list->removeWidget(r);
        r->hide();
        r->deleteLater();
    }
    m_rows.clear();
    const auto& workspace = *m_model.services().workspace;
    for (const QString& id : ids) {
        const QString name = AppLauncher::displayName(workspace, id).value_or(id);
        auto* r = new ExcludedAppRow(id, name, [this, id] {
            QSet<QString> apps = m_model.blockedApps();
            apps.remove(id);
            m_model.setBlockedApps(apps);
        }, widget());
        m_list->addWidget(r);
        m_rows << r;
    }
}

QString SelectionSettingsView::toRaw(Page page)
{
    switch (page) {
    case Page::toolbar: return QStringLiteral("toolbar");
    case Page::actions: return QStringLiteral("actions");
    case Page::excluded: return QStringLiteral("excluded");
    }
    return {};
}

std::optional<SelectionSettingsView::Page> SelectionSettingsView::pageFromRaw(const QString& raw)
{
    for (Page p : pages)
        if (toRaw(p) == raw)
            return p;
    return std::nullopt;
}

namespace {

QStringList selectionTitles()
{
    QStringList titles;
    for (auto p : SelectionSettingsView::pages)
        titles << text(SelectionSettingsView::titleKey(p));
    return titles;
}

} // namespace

SelectionSettingsView::SelectionSettingsView(SettingsModel& model, Hosted hosted, QWidget* parent)
    : SubPageHost(selectionTitles(), [this](int i, QWidget* p) { return build(pages[size_t(i)], p); }, parent)
    , m_model(model)
    , m_hosted(std::move(hosted))
{
    setObjectName(QStringLiteral("SelectionSettingsView"));
    setPage(Page::toolbar);
}

QWidget* SelectionSettingsView::build(Page page, QWidget* parent)
{
    switch (page) {
    case Page::toolbar: return new SelectionToolbarPage(m_model, parent);
    case Page::actions: return m_hosted.actions ? m_hosted.actions(parent) : nullptr;
    case Page::excluded: return new SelectionExcludedPage(m_model, m_hosted.chooseApplications, parent);
    }
    return nullptr;
}
