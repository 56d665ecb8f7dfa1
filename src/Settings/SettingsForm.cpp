#include "Settings/SettingsForm.h"

#include "System/AppStrings.h"
#include "ViewStyle/ViewStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace SettingsForm {

QString text(const QString& key)
{
    return AppStrings::string(key);
}

QWidget* header(const QString& key, QWidget* beside, QWidget* parent)
{
    QWidget* row = ViewStyle::headerRow(text(key), beside, parent);
    row->findChild<QLabel*>()->setObjectName(key);
    return row;
}

QLabel* headerLabel(const QString& key, QWidget* parent)
{
    auto* label = new QLabel(text(key), parent);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QVBoxLayout* addSection(QVBoxLayout* column, const QString& headerKey, const QString& footerKey, QWidget* headerWidget,
                        const QString& footerText)
{
    if (!headerWidget && !headerKey.isEmpty())
        headerWidget = header(headerKey, nullptr, column->parentWidget());
    const QString footer = footerText.isEmpty() && !footerKey.isEmpty() ? text(footerKey) : footerText;
    return ViewStyle::addSection(column, headerWidget, footer, footerKey);
}

QPushButton* linkButton(const QString& key, QWidget* parent)
{
    QPushButton* button = ViewStyle::linkButton(text(key), parent);
    button->setObjectName(key);
    return button;
}

QWidget* unavailable(QWidget* parent)
{
    const QString key = QStringLiteral("settings.page.unavailable");
    QLabel* label = ViewStyle::secondary(text(key), parent, 1.0);
    label->setObjectName(key);
    label->setAlignment(Qt::AlignCenter);
    label->setContentsMargins(40, 40, 40, 40);
    return label;
}

} // namespace SettingsForm
