#include "Settings/ScrollSettingsView.h"

#include "Settings/ApplicationChooser.h"
#include "Settings/ManualLink.h"
#include "Settings/SettingsForm.h"
#include "System/AppStrings.h"
#include "ViewStyle/ViewStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace SettingsForm;

namespace {

QStringList pickApplications(QWidget* parent)
{
    return ApplicationChooser::choose(parent, text(QStringLiteral("settings.scroll.apps.add")),
                                      text(QStringLiteral("settings.scroll.apps.chooser")));
}

using ApplicationChooser::bundleIdentifier;

} // namespace

ScrollSettingsView::ScrollSettingsView(Model& model, Environment environment, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_environment(std::move(environment))
{
    if (!m_environment.chooseApplications)
        m_environment.chooseApplications = pickApplications;
    setObjectName(QStringLiteral("ScrollSettingsView"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(this);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(20, 16, 20, 16);

    // 1: the switch
    auto* body = addSection(page, {}, QStringLiteral("settings.scroll.enable.hint"));
    m_enable = new QCheckBox(text(QStringLiteral("settings.scroll.enable")), content);
    m_enable->setObjectName(QStringLiteral("settings.scroll.enable"));
    body->addWidget(m_enable);
    m_failure = makeWarningLabel(content);
    body->addWidget(m_failure);
    connect(m_enable, &QCheckBox::toggled, this, [this](bool on) {
        ScrollSettings s = m_model.scrollSettings();
        s.isEnabled = on;
        write(s);
    });

    // 2 and 3: the global profile's feel and axes share one binding.
    const Binding<ScrollProfile> global{[this] { return m_model.scrollSettings().global; },
                                        [this](const ScrollProfile& p) {
                                            ScrollSettings s = m_model.scrollSettings();
                                            s.global = p;
                                            write(s);
                                        }};
    body = addSection(page, {}, {}, headerLabel(QStringLiteral("settings.scroll.feel"), content));
    m_feel = new FeelControls(global, content);
    body->addWidget(m_feel);

    auto* axesHeader = new QWidget(content);
    auto* axesRow = new QHBoxLayout(axesHeader);
    axesRow->setContentsMargins(0, 0, 0, 0);
    axesRow->addWidget(headerLabel(QStringLiteral("settings.scroll.axes"), axesHeader));
    axesRow->addWidget(new ManualLink(ManualLink::Topic::scroll, axesHeader));
    axesRow->addStretch(1);
    body = addSection(page, {}, QStringLiteral("settings.scroll.reverse.hint"), axesHeader);
    m_axes = new AxisControls(global, content);
    body->addWidget(m_axes);

    // 4: modifiers
    body = addSection(page, {}, {}, headerLabel(QStringLiteral("settings.scroll.modifiers"), content));
    for (ScrollModifier modifier : scrollModifierCases) {
        auto* row = new ModifierRow(modifier,
                                    {[this, modifier] { return m_model.scrollSettings().modifiers.action(modifier); },
                                     [this, modifier](const ScrollModifierAction& a) {
                                         m_model.setScrollModifier(modifier, a);
                                         refresh();
                                     }},
                                    content);
        m_modifierRows.insert(int(modifier), row);
        body->addWidget(row);
    }

    // 5: applications
    m_appsLayout = addSection(page, {}, QStringLiteral("settings.scroll.apps.hint"),
                              headerLabel(QStringLiteral("settings.scroll.apps"), content));
    m_add = new QPushButton(text(QStringLiteral("settings.scroll.apps.add")), content);
    m_add->setObjectName(QStringLiteral("settings.scroll.apps.add"));
    connect(m_add, &QPushButton::clicked, this, [this] { addApplications(m_environment.chooseApplications(this)); });
    page->addStretch(1);
    setWidget(content);
    refresh();
}

void ScrollSettingsView::write(const ScrollSettings& settings)
{
    m_model.setScrollSettings(settings);
    refresh();
}

void ScrollSettingsView::addApplications(const QStringList& paths)
{
    for (const QString& path : paths) {
        const auto id = bundleIdentifier(path);
        if (!id)
            continue;
        ScrollSettings s = m_model.scrollSettings();
        s.startCustomising(*id);
        write(s);
    }
}

void ScrollSettingsView::refresh()
{
    const ScrollSettings& s = m_model.scrollSettings();
    {
        const QSignalBlocker blocker(m_enable);
        m_enable->setChecked(s.isEnabled);
    }
    const auto failure = m_model.scrollStartFailure();
    if (s.isEnabled && failure)
        setWarning(m_failure, text(*failure == Platform::EventTaps::StartFailure::notPermitted
                                       ? QStringLiteral("settings.scroll.needsAccessibility")
                                       : QStringLiteral("settings.scroll.unavailable")));
    else
        setWarning(m_failure, {});
    m_feel->refresh();
    m_axes->refresh();
    for (auto* row : std::as_const(m_modifierRows))
        row->refresh();

    const auto apps = m_model.scrollApps();
    if (const QStringList signature = appsSignature(apps); signature != m_signature || !m_noApps) {
        m_signature = signature;
        rebuildApps();
    } else {
        for (auto* row : std::as_const(m_rows))
            row->refresh();
    }
}

QStringList ScrollSettingsView::appsSignature(const QList<ScrollAppEntry>& apps) const
{
    QStringList parts;
    for (const auto& app : apps)
        parts << app.bundleIdentifier + u'|' + app.name + u'|' + QString::number(app.isInstalled)
                     + QString::number(app.isCustom());
    return parts;
}

void ScrollSettingsView::rebuildApps()
{
    // The old widgets may be the ones whose click got us here: let them go once it has returned.
    for (auto* row : std::as_const(m_rows)) {
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    for (QWidget* w : {static_cast<QWidget*>(m_noApps), static_cast<QWidget*>(m_notInstalledToggle), m_notInstalledBox})
        if (w) {
            w->hide();
            w->deleteLater();
        }
    m_noApps = nullptr;
    m_notInstalledToggle = nullptr;
    m_notInstalledBox = nullptr;
    m_appsLayout->removeWidget(m_add);

    QWidget* parent = m_add->parentWidget();
    const auto apps = m_model.scrollApps();
    auto makeRow = [&](const ScrollAppEntry& app, QWidget* into) {
        const QString id = app.bundleIdentifier;
        auto* row = new AppRow(
            m_model, app, m_expanded.value(id), [this, id](bool open) { m_expanded.insert(id, open); },
            [this](const ScrollSettings& s) { write(s); }, into);
        m_rows << row;
        return row;
    };
    if (apps.isEmpty()) {
        m_noApps = new QLabel(text(QStringLiteral("settings.scroll.apps.none")), parent);
        m_noApps->setForegroundRole(QPalette::PlaceholderText);
        m_appsLayout->addWidget(m_noApps);
    } else {
        m_noApps = new QLabel(parent); // kept hidden so that refresh() knows the list was built
        m_noApps->hide();
        QList<ScrollAppEntry> missing;
        for (const auto& app : apps) {
            if (app.isInstalled)
                m_appsLayout->addWidget(makeRow(app, parent));
            else
                missing << app;
        }
        if (!missing.isEmpty()) {
            m_notInstalledToggle =
                ViewStyle::disclosure(text(QStringLiteral("settings.scroll.apps.notInstalled")).arg(missing.size()), parent);
            m_notInstalledToggle->setObjectName(QStringLiteral("settings.scroll.apps.notInstalled"));
            m_notInstalledToggle->setForegroundRole(QPalette::PlaceholderText);
            m_notInstalledBox = new QWidget(parent);
            auto* box = new QVBoxLayout(m_notInstalledBox);
            box->setContentsMargins(0, 0, 0, 0);
            for (const auto& app : missing)
                box->addWidget(makeRow(app, m_notInstalledBox));
            m_notInstalledBox->setVisible(m_notInstalledOpen);
            m_notInstalledToggle->setChecked(m_notInstalledOpen);
            connect(m_notInstalledToggle, &QToolButton::toggled, this, [this](bool open) {
                m_notInstalledOpen = open;
                m_notInstalledBox->setVisible(open);
            });
            m_appsLayout->addWidget(m_notInstalledToggle, 0, Qt::AlignLeft);
            m_appsLayout->addWidget(m_notInstalledBox);
        }
    }
    m_appsLayout->addWidget(m_add, 0, Qt::AlignLeft);
}

AppRow* ScrollSettingsView::appRow(const QString& bundleIdentifier) const
{
    for (auto* row : m_rows)
        if (row->app().bundleIdentifier == bundleIdentifier)
            return row;
    return nullptr;
}

QStringList ScrollSettingsView::rowOrder() const
{
    QStringList ids;
    for (auto* row : m_rows)
        ids << row->app().bundleIdentifier;
    return ids;
}

AppRow::AppRow(ScrollSettingsView::Model& model, ScrollAppEntry app, bool expanded, std::function<void(bool)> onExpanded,
               std::function<void(const ScrollSettings&)> write, QWidget* parent)
    : QWidget(parent), m_model(model), m_app(std::move(app)), m_onExpanded(std::move(onExpanded)), m_write(std::move(write))
{
    setObjectName(m_app.bundleIdentifier);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* icon = new QLabel(this);
    // Without a themed icon for it, the style's own stands in, so that the names stay aligned.
    const QIcon shown = m_app.icon.isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon) : m_app.icon;
    icon->setPixmap(shown.pixmap(18, 18));
    icon->setFixedSize(18, 18);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    auto* name = new QLabel(m_app.name, this);
    name->setTextFormat(Qt::PlainText);
    if (!m_app.isInstalled)
        name->setForegroundRole(QPalette::PlaceholderText);
    names->addWidget(name);
    if (!m_app.isInstalled) {
        auto* id = new QLabel(m_app.bundleIdentifier, this);
        id->setTextFormat(Qt::PlainText);
        QFont font = id->font();
        font.setPointSizeF(font.pointSizeF() * 0.8);
        id->setFont(font);
        id->setForegroundRole(QPalette::PlaceholderText);
        names->addWidget(id);
    }
    row->addLayout(names, 1);
    m_mode = new QComboBox(this);
    m_mode->setObjectName(QStringLiteral("mode"));
    m_mode->setAccessibleName(m_app.name);
    m_mode->addItem(text(QStringLiteral("scroll.app.mode.off")), false);
    m_mode->addItem(text(QStringLiteral("scroll.app.mode.custom")), true);
    m_mode->setCurrentIndex(m_app.isCustom() ? 1 : 0);
    m_mode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row->addWidget(m_mode);
    m_follow = linkButton(QStringLiteral("settings.scroll.apps.follow"), this);
    row->addWidget(m_follow);
    layout->addLayout(row);

    connect(m_mode, &QComboBox::activated, this, [this](int index) {
        const bool custom = m_mode->itemData(index).toBool();
        ScrollSettings s = m_model.scrollSettings();
        if (custom)
            s.startCustomising(m_app.bundleIdentifier);
        else
            s.setMode(ScrollAppMode::off(), m_app.bundleIdentifier);
        m_onExpanded(custom);
        m_write(s);
    });
    connect(m_follow, &QPushButton::clicked, this, [this] {
        ScrollSettings s = m_model.scrollSettings();
        s.removeSettings(m_app.bundleIdentifier);
        m_write(s);
    });

    if (!m_app.isCustom())
        return;
    m_ownToggle = ViewStyle::disclosure(text(QStringLiteral("settings.scroll.apps.itsOwn")), this);
    m_ownToggle->setObjectName(QStringLiteral("settings.scroll.apps.itsOwn"));
    m_ownToggle->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_ownToggle, 0, Qt::AlignLeft);
    m_ownBox = new QWidget(this);
    auto* box = new QVBoxLayout(m_ownBox);
    box->setContentsMargins(26, 0, 0, 4);
    const Binding<ScrollProfile> own{[this] { return profile(); },
                                     [this](const ScrollProfile& p) {
                                         ScrollSettings s = m_model.scrollSettings();
                                         s.setSettings({m_app.bundleIdentifier, ScrollAppMode::customised(p)});
                                         m_write(s);
                                     }};
    m_feel = new FeelControls(own, m_ownBox);
    m_axes = new AxisControls(own, m_ownBox);
    box->addWidget(m_feel);
    box->addWidget(m_axes);
    layout->addWidget(m_ownBox);
    setExpanded(expanded);
    connect(m_ownToggle, &QToolButton::toggled, this, [this](bool open) {
        m_ownBox->setVisible(open);
        m_onExpanded(open);
    });
}

ScrollProfile AppRow::profile() const
{
    const QString id = m_app.bundleIdentifier;
    if (const auto* entry = m_model.scrollSettings().settings(&id); entry && entry->mode.isCustom())
        return *entry->mode.profile();
    return m_app.mode.profile() ? *m_app.mode.profile() : m_model.scrollSettings().global;
}

void AppRow::setExpanded(bool open)
{
    if (!m_ownToggle)
        return;
    const QSignalBlocker blocker(m_ownToggle);
    m_ownToggle->setChecked(open);
    m_ownToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    m_ownBox->setVisible(open);
}

void AppRow::refresh()
{
    if (m_feel) {
        m_feel->refresh();
        m_axes->refresh();
    }
}
