#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The looks every window and panel shares (settings, onboarding, the AI windows, rename, the
// toolbar's cards): fonts, colours, secondary texts, buttons, symbols, status lines, the grouped
// form of framed sections, cards and faint rules. Texts come in already looked up.
namespace ViewStyle {

QFont captionFont();
QFont calloutFont();
QFont titleFont(double points, bool semibold = true);

// A window's heading and the dimmed line under it.
QLabel* title(const QString& text, QWidget* parent);
QLabel* subtitle(const QString& text, QWidget* parent);
// A dimmed, wrapping text in a font scaled from the label's own.
QLabel* secondary(const QString& text, QWidget* parent, double scale = 0.92);

// A flat button drawn as a link.
QPushButton* linkButton(const QString& text, QWidget* parent);
// A button with the filled look of the window's main action.
QPushButton* prominentButton(const QString& text, QWidget* parent, bool large = true);
// A toggle with an arrow that turns down while it is open.
QToolButton* disclosure(const QString& label, QWidget* parent);

QColor green();
QColor orange();
QColor accent();
QColor secondaryColor();

// The icon of a symbol name as the toolbar shows it; the status marks and symbols the theme
// lacks are drawn.
QIcon symbol(const QString& name);
// A symbol from the theme drawn in a colour (an invalid colour keeps the theme's own); a glyph
// stands in where the theme has none.
QIcon themedSymbol(const QString& name, const QColor& color = {});
QLabel* symbolLabel(const QString& name, int size, const QColor& color, QWidget* parent);
// A row of a symbol and a dimmed text.
QWidget* labelWithSymbol(const QString& text, const QString& symbolName, const QColor& color, QWidget* parent);

// A status line: an icon and a text label filled as one; `none` hides both. A note shows the
// symbol it is given, dimmed like its text, and no icon without one.
enum class Status { none, success, problem, note };
void setStatus(QLabel* icon, QLabel* text, const QString& message, Status status, const QString& noteSymbol = {});

// The monospaced editor of plug-in and script sources.
QPlainTextEdit* codeEditor(QWidget* parent);

// Makes the area a scrolling page; the returned column receives the sections.
QVBoxLayout* preparePage(QScrollArea* area, const QString& objectName);
// A heading row of a section: the text and, when given, a widget beside it.
QWidget* headerRow(const QString& text, QWidget* beside, QWidget* parent);
// One section of a grouped form: the header (none for null), a framed body whose layout is
// returned, and a footer text (none when empty) in a label named `footerName`.
QVBoxLayout* addSection(QVBoxLayout* column, QWidget* header, const QString& footer = {},
                        const QString& footerName = {});
// A card: a rounded, lightly filled panel.
QWidget* card(QWidget* parent);
// The widget's text and lines in its text colour at this opacity: faint rules, secondary marks.
void fade(QWidget* widget, qreal opacity);

} // namespace ViewStyle
