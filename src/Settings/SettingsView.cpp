#include "Settings/SettingsView.h"

#include "Settings/SettingsStyle.h"
#include "Settings/WheelGuard.h"

#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using SettingsStyle::text;

SettingsView::SettingsView(SettingsModel& model, Hosted hosted, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingsView"));
    // The pages scroll with the wheel; their pickers, sliders and steppers change only with focus.
    WheelGuard::protect(this);
    setWindowTitle(text(QStringLiteral("window.settings")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(false);
    m_tabs->setIconSize(QSize(16, 16));
    layout->addWidget(m_tabs);

    auto add = [this](QWidget* page, const QString& key, const QString& symbol) {
        const int index = m_tabs->addTab(page, SettingsStyle::symbol(symbol), text(key));
        m_tabs->tabBar()->setTabData(index, key);
    };
    m_general = new GeneralSettingsView(model, hosted.general, m_tabs);
    add(m_general, QStringLiteral("settings.general"), QStringLiteral("gearshape"));
    m_finder = new FinderSettingsView(model, hosted.finder, m_tabs);
    add(m_finder, QStringLiteral("settings.finder"), QStringLiteral("folder"));
    m_selection = new SelectionSettingsView(model, hosted.selection, m_tabs);
    add(m_selection, QStringLiteral("settings.selection"), QStringLiteral("text.cursor"));
    QWidget* scroll = hosted.scroll ? hosted.scroll(m_tabs) : SettingsStyle::unavailable(m_tabs);
    add(scroll, QStringLiteral("settings.scroll"), QStringLiteral("computermouse"));
    QWidget* radial = hosted.radial ? hosted.radial(m_tabs) : SettingsStyle::unavailable(m_tabs);
    add(radial, QStringLiteral("settings.radial"), QStringLiteral("circle.grid.cross"));
    m_tabs->setCurrentIndex(0);

    setFixedSize(width, height);
}

QWidget* SettingsView::page(Tab tab) const
{
    return m_tabs->widget(int(tab));
}
