#include "App/CorvishApp.h"

#include "App/AppModel.h"
#include "Launch/TrayIcon.h"
#include "AI/AIActionSettingsView.h"
#include "AI/AIProviderSections.h"
#include "Settings/ManualLink.h"
#include "Settings/RadialSettingsView.h"
#include "Settings/SettingsView.h"
#include "Updates/AboutSections.h"
#include "ViewStyle/ViewStyle.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QScreen>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

TelemetryEvent::PluginSource reported(AIActionSettingsView::PluginSource source)
{
    using From = AIActionSettingsView::PluginSource;
    using To = TelemetryEvent::PluginSource;
    switch (source) {
    case From::composedByModel: return To::composedByModel;
    case From::writtenByHand: return To::writtenByHand;
    case From::importedFile: return To::importedFile;
    case From::pasted: return To::pasted;
    }
    return To::writtenByHand;
}

} // namespace

CorvishApp::CorvishApp(AppModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_menu(std::make_unique<QMenu>())
{
    MenuBarView::Environment environment{
        .openOnboarding = [this] { openOnboarding(); },
        .openSettings = [this] { openSettings(); },
        .activate = {},
        .terminate = [] { QApplication::quit(); },
        .version = applicationVersion(),
    };
    m_view = std::make_unique<MenuBarView>(m_model, m_model.services().userDefaults, environment, m_menu.get());

    auto rebuild = [this] { m_view->rebuild(); };
    connect(&m_model, &AppModel::hasCompletedOnboardingChanged, this, rebuild);
    connect(&m_model, &AppModel::menuPreferencesChanged, this, rebuild);
    connect(&m_model, &AppModel::scrollSettingsChanged, this, rebuild);
    connect(&m_model, &AppModel::radialSettingsChanged, this, rebuild);
    connect(&m_model.permissions(), &PermissionMonitor::grantedChanged, this, rebuild);
    connect(&m_model, &AppModel::menuBarSymbolChanged, this, &CorvishApp::updateIcon);
}

CorvishApp::~CorvishApp()
{
    delete m_settings;
    delete m_onboarding;
    delete m_window;
}

void CorvishApp::openOnboarding()
{
    if (!m_onboarding) {
        m_onboarding = new OnboardingView(m_model);
        m_onboarding->setWindowIcon(TrayIcon::icon(m_model.menuBarSymbol()));
    }
    m_onboarding->show();
    m_onboarding->raise();
    m_onboarding->activateWindow();
}

void CorvishApp::openSettings()
{
    if (!m_settings) {
        SettingsView::Hosted hosted;
        auto* model = &m_model;
        hosted.general.about = [model](QWidget* parent) -> QWidget* {
            auto workspace = model->services().workspace;
            return new AboutSections(model->updates(), model->updateInstaller(), applicationVersion(),
                                     [workspace](const QUrl& url) { workspace->openURL(url); }, parent);
        };
        hosted.general.aiProviderSections = [model](QWidget* parent) -> QWidget* {
            // Drawn as the page's own sections, with the same help link as theirs.
            AIProviderSections::Look look{
                .addSection =
                    [](QVBoxLayout* column, const QString& title, QWidget* beside) {
                        QWidget* header = title.isEmpty() && !beside
                                              ? nullptr
                                              : ViewStyle::headerRow(title, beside, column->parentWidget());
                        return ViewStyle::addSection(column, header);
                    },
                .helpLink = [](QWidget* parent) -> QWidget* { return new ManualLink(ManualLink::Topic::ai, parent); },
            };
            return new AIProviderSections(model->ai(), model->services().userDefaults,
                                          [model] { model->applyOutputLanguage(); }, std::move(look), parent);
        };
        auto aiActions = [model](ActionScope scope) {
            return [model, scope](QWidget* parent) -> QWidget* {
                AIActionSettingsView::Environment environment;
                environment.pasteboard = model->services().pasteboards->general();
                environment.workspace = model->services().workspace;
                environment.pluginAdded = [model](AIActionSettingsView::PluginSource source) {
                    model->telemetry().send(TelemetryEvent::pluginAdded(reported(source)));
                };
                // The page grows with its actions; the tab scrolls it.
                auto* area = new QScrollArea(parent);
                area->setObjectName(QStringLiteral("aiActions:") + toRaw(scope));
                area->setWidgetResizable(true);
                area->setFrameShape(QFrame::NoFrame);
                area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                area->setWidget(new AIActionSettingsView(model->ai(), scope, environment, area));
                return area;
            };
        };
        hosted.finder.actions = aiActions(ActionScope::files);
        hosted.selection.actions = aiActions(ActionScope::text);
        hosted.scroll = [model](QWidget* parent) -> QWidget* {
            auto* page = new ScrollSettingsView(*model, {}, parent);
            connect(model, &AppModel::scrollSettingsChanged, page, &ScrollSettingsView::refresh);
            return page;
        };
        hosted.radial = [model](QWidget* parent) -> QWidget* {
            auto* page = new RadialSettingsView(*model, {}, parent);
            connect(model, &AppModel::radialSettingsChanged, page, &RadialSettingsView::refresh);
            return page;
        };
        m_settings = new SettingsView(m_model, hosted);
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
        m_settings->setWindowIcon(TrayIcon::icon(m_model.menuBarSymbol()));
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

QString CorvishApp::applicationVersion()
{
    return QCoreApplication::applicationVersion();
}

bool CorvishApp::usesTray() const
{
    return m_tray != nullptr;
}

void CorvishApp::show(QSystemTrayIcon* shown)
{
    // Until the walk-through is finished it opens at every launch.
    if (!m_model.hasCompletedOnboarding())
        QTimer::singleShot(0, this, &CorvishApp::openOnboarding);
    if (shown || QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = shown ? shown : new QSystemTrayIcon(this);
        m_tray->setParent(this);
        m_tray->setIcon(TrayIcon::icon(m_model.menuBarSymbol()));
        m_tray->setToolTip(QStringLiteral("Ambrel"));
        // A status-notifier host draws the menu it is handed beside the icon, and may offer no
        // other way to open it. An icon docked in a plain tray would open a context menu at the
        // pointer, over the icon, where the next click lands on its first switch: there the
        // right button opens the menu placed here.
        if (trayHostShowsMenu())
            m_tray->setContextMenu(m_menu.get());
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // A quick click after the one that closed the menu comes as the second of a double
            // click: it opens the menu all the same. A host asks for the menu only when it has
            // none to show (it learnt of the icon before the menu was handed over).
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick
                || reason == QSystemTrayIcon::Context)
                openTrayMenu();
        });
        m_tray->show();
        return;
    }
    // No tray on this desktop: a small window keeps the menu reachable.
    m_window = new QWidget(nullptr, Qt::Window);
    m_window->setWindowTitle(QStringLiteral("Ambrel"));
    m_window->setWindowIcon(TrayIcon::icon(m_model.menuBarSymbol()));
    auto* layout = new QVBoxLayout(m_window);
    auto* button = new QPushButton(TrayIcon::icon(m_model.menuBarSymbol()), QStringLiteral("Ambrel"), m_window);
    button->setObjectName(QStringLiteral("menuButton"));
    button->setMenu(m_menu.get());
    layout->addWidget(button);
    m_window->resize(220, 60);
    m_window->show();
}

void CorvishApp::reopen()
{
    if (m_window) {
        // Closing the window only hid it: Ambrel goes on serving the file manager and hot keys.
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    } else if (m_tray) {
        openTrayMenu();
    }
}

void CorvishApp::openTrayMenu()
{
    if (m_menu->isVisible())
        return;
    const QRect icon = m_tray->geometry();
    if (!icon.isValid() || icon.isEmpty()) {
        m_menu->popup(QCursor::pos());
        return;
    }
    const QScreen* screen = QGuiApplication::screenAt(icon.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_menu->ensurePolished();
    m_menu->popup(trayMenuPosition(icon, m_menu->sizeHint(), screen->geometry()));
}

bool CorvishApp::trayHostShowsMenu()
{
    // The question Qt asks to put the icon on the bus instead of docking it.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                                      QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
           && qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

QPoint CorvishApp::trayMenuPosition(const QRect& icon, const QSize& menu, const QRect& screen)
{
    const auto within = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };
    // Along the panel the menu starts at the icon's edge and stays on the screen.
    const int x = within(icon.left(), screen.left(), screen.right() + 1 - menu.width());
    const int y = within(icon.top(), screen.top(), screen.bottom() + 1 - menu.height());
    if (screen.bottom() - icon.bottom() >= menu.height())
        return {x, icon.bottom() + 1};
    if (icon.top() - screen.top() >= menu.height())
        return {x, icon.top() - menu.height()};
    if (screen.right() - icon.right() >= menu.width())
        return {icon.right() + 1, y};
    if (icon.left() - screen.left() >= menu.width())
        return {icon.left() - menu.width(), y};
    return {x, icon.bottom() + 1};
}

void CorvishApp::updateIcon()
{
    const QIcon i = TrayIcon::icon(m_model.menuBarSymbol());
    if (m_tray)
        m_tray->setIcon(i);
    if (m_window) {
        m_window->setWindowIcon(i);
        if (auto* button = m_window->findChild<QPushButton*>(QStringLiteral("menuButton")))
            button->setIcon(i);
    }
}
