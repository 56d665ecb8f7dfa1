#include "Settings/SettingsForm.h"

#include "System/AppStrings.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace SettingsForm {

QString text(const QString& key)
{
    return AppStrings::string(key);
}

QLabel* headerLabel(const QString& key, QWidget* parent)
{
    auto* label = new QLabel(text(key), parent);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* footerLabel(const QString& key, QWidget* parent)
{
    auto* label = new QLabel(text(key), parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

QVBoxLayout* addSection(QVBoxLayout* page, QWidget* parent, QWidget* header, const QString& footerKey)
{
    auto* section = new QVBoxLayout;
    section->setSpacing(4);
    if (header)
        section->addWidget(header);
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* body = new QVBoxLayout(frame);
    body->setContentsMargins(12, 10, 12, 10);
    body->setSpacing(8);
    section->addWidget(frame);
    if (!footerKey.isEmpty())
        section->addWidget(footerLabel(footerKey, parent));
    page->addLayout(section);
    page->addSpacing(14);
    return body;
}

QPushButton* linkButton(const QString& key, QWidget* parent)
{
    auto* button = new QPushButton(text(key), parent);
    button->setObjectName(key);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); padding: 0 2px; }"));
    return button;
}

QToolButton* disclosure(const QString& label, QWidget* parent)
{
    auto* toggle = new QToolButton(parent);
    toggle->setText(label);
    toggle->setCheckable(true);
    toggle->setAutoRaise(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);
    toggle->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 1px 0; }"));
    QObject::connect(toggle, &QToolButton::toggled, toggle,
                     [toggle](bool open) { toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow); });
    return toggle;
}

} // namespace SettingsForm
