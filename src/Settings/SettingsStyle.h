#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;

// The looks the settings and onboarding windows share: a grouped form of framed sections with a
// header and a footer, secondary texts, link buttons and tinted symbols.
namespace SettingsStyle {

// The application's text for a key.
QString text(const QString& key);

// Makes the area a scrolling page; the returned column receives the sections.
QVBoxLayout* preparePage(QScrollArea* area, const QString& objectName);

// One section of a grouped form: the header (a key's text or a widget; none when both are empty),
// a framed body whose layout is returned, and a footer text. The footer label is named
// "<footerKey>" so that tests can read it.
QVBoxLayout* addSection(QVBoxLayout* column, const QString& headerKey, const QString& footerKey,
                        QWidget* headerWidget = nullptr, const QString& footerText = {});
// A heading row of a section: the text and, when given, a widget beside it.
QWidget* header(const QString& key, QWidget* beside, QWidget* parent);
// The same with a text looked up elsewhere (a hosted module's own table).
QWidget* headerText(const QString& text, QWidget* beside, QWidget* parent);

QLabel* secondary(const QString& text, QWidget* parent, double scale = 0.92);
QFont calloutFont();
QFont captionFont();
QFont titleFont(double points, bool semibold = true);

// A flat button drawn as a link.
QPushButton* linkButton(const QString& text, QWidget* parent);
// A button with the filled look of the window's main action.
QPushButton* prominentButton(const QString& text, QWidget* parent, bool large = true);

// A symbol of the models drawn in a colour; an invalid colour keeps the theme's own.
QIcon symbol(const QString& name, const QColor& color = {});
QLabel* symbolLabel(const QString& name, int size, const QColor& color, QWidget* parent);
// A row of a symbol and a text, as a label with an icon.
QWidget* labelWithSymbol(const QString& text, const QString& symbolName, const QColor& color, QWidget* parent);

QColor green();
QColor orange();
QColor accent();
QColor secondaryColor();

// What stands in a tab or sub-page whose module is not part of this build.
QWidget* unavailable(QWidget* parent);

// A card: a rounded, lightly filled panel.
QWidget* card(QWidget* parent);

} // namespace SettingsStyle
