#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The parts the settings pages are built of: a grouped form of framed sections with headers and
// footers, disclosures and link-styled buttons. Texts are keys of the application's table.
namespace SettingsForm {

QString text(const QString& key);
QLabel* headerLabel(const QString& key, QWidget* parent);
QLabel* footerLabel(const QString& key, QWidget* parent);
// One section: an optional header, a framed body (returned), an optional footer.
QVBoxLayout* addSection(QVBoxLayout* page, QWidget* parent, QWidget* header, const QString& footerKey);
QPushButton* linkButton(const QString& key, QWidget* parent);
QToolButton* disclosure(const QString& label, QWidget* parent);

} // namespace SettingsForm
