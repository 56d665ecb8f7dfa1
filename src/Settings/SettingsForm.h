#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The parts the settings pages are built of, named by keys of the application's texts: section
// headers, the sections of the grouped form, link buttons and the stand-in of a missing page.
// The looks themselves are the shared view style's.
namespace SettingsForm {

// The application's text for a key.
QString text(const QString& key);
// A heading row: the key's text, named by the key, and, when given, a widget beside it.
QWidget* header(const QString& key, QWidget* beside, QWidget* parent);
// A heading as a bare label.
QLabel* headerLabel(const QString& key, QWidget* parent);
// One section of a grouped form: the header (the key's text or a widget; none when both are
// empty), a framed body whose layout is returned, and a footer (the footer key's text unless a
// text is given) in a label named "<footerKey>" so that tests can read it.
QVBoxLayout* addSection(QVBoxLayout* column, const QString& headerKey, const QString& footerKey,
                        QWidget* headerWidget = nullptr, const QString& footerText = {});
// A link-styled button with the key's text, named by the key.
QPushButton* linkButton(const QString& key, QWidget* parent);
// What stands in a tab or sub-page whose module is not part of this build.
QWidget* unavailable(QWidget* parent);

} // namespace SettingsForm
