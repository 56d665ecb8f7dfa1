#include "Settings/GeneralSettingsView.h"

#include "Platform/LoginItem.h"
#include "Settings/ManualLink.h"
#include "Settings/PermissionAccess.h"
#include "Settings/SettingsForm.h"
#include "System/LaunchAtLogin.h"
#include "System/PermissionMonitor.h"
#include "ViewStyle/ViewStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using SettingsForm::text;

PermissionRow::PermissionRow(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform,
                             QWidget* parent)
    : QWidget(parent), m_permission(permission), m_monitor(monitor), m_platform(platform)
{
    setObjectName(QStringLiteral("permission.") + toRaw(permission));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    auto* title = new QLabel(text(titleKey(permission)), this);
    title->setWordWrap(true);
    row->addWidget(title, 1);
    m_granted = ViewStyle::symbolLabel(QStringLiteral("checkmark.circle.fill"), 18, ViewStyle::green(), this);
    m_granted->setToolTip(text(QStringLiteral("permission.granted")));
    m_granted->setAccessibleName(m_granted->toolTip());
    row->addWidget(m_granted);
    m_grant = new QPushButton(text(QStringLiteral("permission.grant")), this);
    m_grant->setObjectName(QStringLiteral("permission.grant"));
    row->addWidget(m_grant);
    column->addLayout(row);
    m_steps = ViewStyle::secondary({}, this);
    m_steps->setObjectName(QStringLiteral("steps"));
    m_steps->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_steps->hide();
    column->addWidget(m_steps);

    connect(m_grant, &QPushButton::clicked, this, [this] {
        const QString steps = PermissionAccess::request(m_permission, m_monitor, m_platform);
        m_steps->setText(steps);
        m_steps->setVisible(!steps.isEmpty() && !m_monitor.isGranted(m_permission));
    });
    connect(&m_monitor, &PermissionMonitor::grantedChanged, this, &PermissionRow::refresh);
    refresh();
}

void PermissionRow::refresh()
{
    const bool granted = m_monitor.isGranted(m_permission);
    m_granted->setVisible(granted);
    m_grant->setVisible(!granted);
    if (granted)
        m_steps->hide();
}

GeneralSettingsView::GeneralSettingsView(SettingsModel& model, Hosted hosted, QWidget* parent)
    : QScrollArea(parent)
    , m_model(model)
    , m_language(currentInterfaceLanguage(*model.services().userDefaults, {}))
    , m_launchLanguage(m_language)
{
    QVBoxLayout* column = ViewStyle::preparePage(this, QStringLiteral("GeneralSettingsView"));
    QWidget* content = widget();

    // 1: permissions
    auto* body = SettingsForm::addSection(
        column, {}, QStringLiteral("settings.general.permissions.hint"),
        SettingsForm::header(QStringLiteral("settings.general.permissions"), new ManualLink(ManualLink::Topic::permissions),
                             content));
    for (Permission p : askedPermissions()) {
        auto* row = new PermissionRow(p, model.permissions(), *model.services().permissions, content);
        m_rows.insert(int(p), row);
        body->addWidget(row);
    }

    // 2: start-up
    body = SettingsForm::addSection(column, QStringLiteral("settings.general.startup"), {});
    m_launchAtLogin = new QCheckBox(text(QStringLiteral("settings.general.launchAtLogin")), content);
    m_launchAtLogin->setObjectName(QStringLiteral("settings.general.launchAtLogin"));
    body->addWidget(m_launchAtLogin);
    m_loginBlocked = ViewStyle::labelWithSymbol(text(QStringLiteral("settings.general.launchAtLogin.blocked")),
                                                QStringLiteral("exclamationmark.triangle"), ViewStyle::secondaryColor(),
                                                content);
    m_loginBlocked->setObjectName(QStringLiteral("settings.general.launchAtLogin.blocked"));
    body->addWidget(m_loginBlocked);
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &GeneralSettingsView::setLaunchAtLogin);

    auto addPicker = [&](const QString& key, QComboBox*& picker) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(text(key), content));
        row->addStretch(1);
        picker = new QComboBox(content);
        picker->setObjectName(key);
        row->addWidget(picker);
        body->addLayout(row);
    };
    addPicker(QStringLiteral("settings.general.preset"), m_preset);
    for (UsagePreset p : usagePresetCases)
        m_preset->addItem(text(QStringLiteral("preset.") + UsagePresets::toRaw(p) + QStringLiteral(".title")),
                          UsagePresets::toRaw(p));
    connect(m_preset, &QComboBox::activated, this, [this](int index) {
        if (const auto p = UsagePresets::fromRaw(m_preset->itemData(index).toString()))
            m_model.setPreset(*p);
    });

    addPicker(QStringLiteral("settings.general.language"), m_languagePicker);
    // The languages' own names are never translated; only the system option is.
    m_languagePicker->addItem(text(QStringLiteral("settings.general.language.system")), toRaw(InterfaceLanguage::system));
    m_languagePicker->addItem(QStringLiteral("English"), toRaw(InterfaceLanguage::english));
    m_languagePicker->addItem(QStringLiteral("简体中文"), toRaw(InterfaceLanguage::simplifiedChinese));
    m_languagePicker->addItem(QStringLiteral("繁體中文"), toRaw(InterfaceLanguage::traditionalChinese));
    connect(m_languagePicker, &QComboBox::activated, this, [this](int index) {
        if (const auto l = interfaceLanguageFromRaw(m_languagePicker->itemData(index).toString()))
            chooseLanguage(*l);
    });
    m_restart = ViewStyle::labelWithSymbol(text(QStringLiteral("settings.general.language.restart")),
                                           QStringLiteral("arrow.clockwise"), ViewStyle::secondaryColor(), content);
    m_restart->setObjectName(QStringLiteral("settings.general.language.restart"));
    body->addWidget(m_restart);

    // 3: the AI provider, from its module
    if (hosted.aiProviderSections) {
        // Its sections keep their own spacing after them, as every section of the page does.
        m_ai = hosted.aiProviderSections(content);
        column->addWidget(m_ai);
    }

    // 4: usage reports
    body = SettingsForm::addSection(column, QStringLiteral("settings.general.telemetry.section"),
                                    QStringLiteral("settings.general.telemetry.hint"));
    m_telemetry = new QCheckBox(text(QStringLiteral("settings.general.telemetry")), content);
    m_telemetry->setObjectName(QStringLiteral("settings.general.telemetry"));
    body->addWidget(m_telemetry);
    connect(m_telemetry, &QCheckBox::toggled, this, [this](bool on) { m_model.setTelemetryEnabled(on); });

    // 5: about and updates, from their module
    if (hosted.about) {
        m_about = hosted.about(content);
        column->addWidget(m_about);
    }
    column->addStretch(1);

    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &GeneralSettingsView::refresh);
    refresh();
}

void GeneralSettingsView::refresh()
{
    {
        const QSignalBlocker block(m_launchAtLogin);
        m_launchAtLogin->setChecked(m_model.services().loginItem->status() == Platform::LoginItem::Status::enabled);
    }
    m_loginBlocked->setVisible(m_loginItemRefused);
    m_preset->setCurrentIndex(m_preset->findData(UsagePresets::toRaw(m_model.preset())));
    m_languagePicker->setCurrentIndex(m_languagePicker->findData(toRaw(m_language)));
    m_restart->setVisible(m_needsRestart);
    {
        const QSignalBlocker block(m_telemetry);
        m_telemetry->setChecked(m_model.telemetryEnabled());
    }
}

void GeneralSettingsView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    // Once each time the page is shown; it does not poll.
    m_model.permissions().refresh();
    refresh();
}

void GeneralSettingsView::setLaunchAtLogin(bool on)
{
    auto& loginItem = *m_model.services().loginItem;
    LaunchAtLogin::set(loginItem, on);
    m_loginItemRefused = on != (loginItem.status() == Platform::LoginItem::Status::enabled);
    refresh();
}

void GeneralSettingsView::chooseLanguage(InterfaceLanguage language)
{
    if (language == m_language)
        return;
    m_language = language;
    // Stored for the next start; the running interface keeps its language.
    applyInterfaceLanguage(*m_model.services().userDefaults, language);
    m_needsRestart = language != m_launchLanguage;
    refresh();
}
