#include "MenuBar/MenuBarView.h"

#include "Platform/UserDefaults.h"
#include "System/AppStrings.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>

namespace {

void call(const std::function<void()>& f)
{
    if (f)
        f();
}

} // namespace

MenuBarView::MenuBarView(Model& model, std::shared_ptr<Platform::UserDefaults> defaults, Environment environment,
                         QMenu* menu, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_defaults(std::move(defaults))
    , m_environment(std::move(environment))
    , m_menu(menu)
{
    connect(m_menu, &QMenu::aboutToShow, this, &MenuBarView::rebuild);
    rebuild();
}

QString MenuBarView::versionLine(const QString& version)
{
    return AppStrings::string(QStringLiteral("menu.about.version"))
        .arg(version.isEmpty() ? QStringLiteral("\u2014") : version);
}

QAction* MenuBarView::addToggle(QMenu* menu, const QString& key, bool on, std::function<void(bool)> change)
{
    QAction* action = menu->addAction(AppStrings::string(key));
    action->setObjectName(key);
    action->setCheckable(true);
    action->setChecked(on);
    connect(action, &QAction::triggered, this, std::move(change));
    return action;
}

QAction* MenuBarView::addButton(QMenu* menu, const QString& key, std::function<void()> run)
{
    QAction* action = menu->addAction(AppStrings::string(key));
    action->setObjectName(key);
    connect(action, &QAction::triggered, this, std::move(run));
    return action;
}

void MenuBarView::askFor(Permission permission)
{
    m_model.setPendingOnboardingStep(permission);
    call(m_environment.openOnboarding);
    call(m_environment.activate);
}

void MenuBarView::rebuild()
{
    if (!m_menu)
        return;
    // The old items may be the sender of the signal being handled: detach them now, delete later.
    for (QAction* old : m_menu->actions()) {
        m_menu->removeAction(old);
        if (QMenu* submenu = old->menu())
            submenu->deleteLater();
        if (old->parent() == m_menu)
            old->deleteLater();
    }

    if (m_model.hasCompletedOnboarding()) {
        const QList<Permission> missing = m_model.missingPermissions();
        for (Permission p : missing) {
            QAction* item = addButton(m_menu, titleKey(p), [this, p] { askFor(p); });
            item->setData(toRaw(p));
            item->setProperty("symbolName", warningSymbol);
            item->setIcon(QIcon::fromTheme(QStringLiteral("dialog-warning")));
            item->setEnabled(bool(m_environment.openOnboarding));
        }
        if (!missing.isEmpty())
            m_menu->addSeparator();
    }

    addToggle(m_menu, QStringLiteral("menu.finderMenu"), m_model.finderMenuEnabled(),
              [this](bool on) { m_model.setFinderMenuEnabled(on); });
    addToggle(m_menu, QStringLiteral("menu.selectionToolbar"),
              m_defaults->boolValue(selectionToolbarKey).value_or(false), [this](bool on) {
                  m_defaults->setBool(selectionToolbarKey, on);
                  m_model.syncSelectionMonitor();
              });
    addToggle(m_menu, QStringLiteral("menu.scroll"), m_model.scrollEnabled(),
              [this](bool on) { m_model.setScrollEnabled(on); });
    // Switched on but not working: the menu says so, next to the switch.
    if (const auto failure = m_model.scrollStartFailure(); failure && m_model.scrollEnabled()) {
        QAction* item = addButton(m_menu,
                                  *failure == Platform::EventTaps::StartFailure::notPermitted
                                      ? QStringLiteral("menu.scroll.notPermitted")
                                      : QStringLiteral("menu.scroll.unavailable"),
                                  [this] {
                                      call(m_environment.openSettings);
                                      call(m_environment.activate);
                                  });
        item->setProperty("symbolName", warningSymbol);
        item->setIcon(QIcon::fromTheme(QStringLiteral("dialog-warning")));
        item->setEnabled(bool(m_environment.openSettings));
    }
    // Until the settings window hosts its page, the radial menu is switched here too.
    if (const auto radial = m_model.radialEnabled()) {
        addToggle(m_menu, QStringLiteral("menu.radial"), *radial, [this](bool on) { m_model.setRadialEnabled(on); });
        if (const auto failure = m_model.radialStartFailure(); failure && *radial) {
            QAction* item = addButton(m_menu,
                                      *failure == Platform::EventTaps::StartFailure::notPermitted
                                          ? QStringLiteral("menu.radial.notPermitted")
                                          : QStringLiteral("menu.radial.unavailable"),
                                      [this] {
                                          call(m_environment.openSettings);
                                          call(m_environment.activate);
                                      });
            item->setProperty("symbolName", warningSymbol);
            item->setIcon(QIcon::fromTheme(QStringLiteral("dialog-warning")));
            item->setEnabled(bool(m_environment.openSettings));
        }
    }
    m_menu->addSeparator();

    QAction* settings = addButton(m_menu, QStringLiteral("menu.settings"), [this] {
        call(m_environment.openSettings);
        call(m_environment.activate);
    });
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    // A window this build does not have is offered disabled rather than doing nothing.
    settings->setEnabled(bool(m_environment.openSettings));

    QMenu* about = new QMenu(AppStrings::string(QStringLiteral("menu.about")), m_menu);
    about->menuAction()->setObjectName(QStringLiteral("menu.about"));
    m_menu->addMenu(about);
    QAction* version = about->addAction(versionLine(m_environment.version));
    version->setObjectName(QStringLiteral("menu.about.version"));
    version->setEnabled(false);
    addButton(about, QStringLiteral("menu.rerunOnboarding"), [this] {
        call(m_environment.openOnboarding);
        call(m_environment.activate);
    })->setEnabled(bool(m_environment.openOnboarding));

    m_menu->addSeparator();
    QAction* quit = addButton(m_menu, QStringLiteral("menu.quit"), [this] { call(m_environment.terminate); });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}
