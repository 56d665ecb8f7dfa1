#include "App/CorvishApp.h"

#include "App/AppModel.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>

CorvishApp::CorvishApp(AppModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_menu(std::make_unique<QMenu>())
{
    MenuBarView::Environment environment{
        // The onboarding and settings windows are not part of this build.
        .openOnboarding = {},
        .openSettings = {},
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
    delete m_window;
}

QString CorvishApp::applicationVersion()
{
    return QCoreApplication::applicationVersion();
}

bool CorvishApp::usesTray() const
{
    return m_tray != nullptr;
}

void CorvishApp::show()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(icon(m_model.menuBarSymbol()), this);
        m_tray->setToolTip(QStringLiteral("Ambrel"));
        m_tray->setContextMenu(m_menu.get());
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                m_menu->popup(QCursor::pos());
        });
        m_tray->show();
        return;
    }
    // No tray on this desktop: a small window keeps the menu reachable.
    m_window = new QWidget(nullptr, Qt::Window);
    m_window->setWindowTitle(QStringLiteral("Ambrel"));
    m_window->setWindowIcon(icon(m_model.menuBarSymbol()));
    auto* layout = new QVBoxLayout(m_window);
    auto* button = new QPushButton(icon(m_model.menuBarSymbol()), QStringLiteral("Ambrel"), m_window);
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
        const QRect area = m_tray->geometry();
        m_menu->popup(area.isValid() ? area.bottomLeft() : QCursor::pos());
    }
}

void CorvishApp::updateIcon()
{
    const QIcon i = icon(m_model.menuBarSymbol());
    if (m_tray)
        m_tray->setIcon(i);
    if (m_window) {
        m_window->setWindowIcon(i);
        if (auto* button = m_window->findChild<QPushButton*>(QStringLiteral("menuButton")))
            button->setIcon(i);
    }
}

QIcon CorvishApp::icon(const QString& symbolName)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A pointer with two click rings.
    p.setPen(QPen(QColor(0x3b, 0x6e, 0xd8), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    const QPolygonF arrow{QPointF(18, 14), QPointF(18, 50), QPointF(27, 41), QPointF(34, 55), QPointF(40, 52),
                          QPointF(33, 38), QPointF(45, 38)};
    p.drawPolygon(arrow);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 2, 26, 26), 30 * 16, 120 * 16);
    if (symbolName.contains(u"badge")) {
        // Something needs the user's attention.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe0, 0x8a, 0x00));
        p.drawEllipse(QRectF(38, 2, 24, 24));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(50, 8), QPointF(50, 15));
        p.drawLine(QPointF(50, 15), QPointF(55, 18));
    }
    return QIcon(pixmap);
}
