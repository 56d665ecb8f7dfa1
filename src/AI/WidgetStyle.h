#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QWidget;

// The looks the AI windows share: headings, hints, the monospaced source editor and the status
// lines (a green success, an orange problem, a dimmed note).
namespace WidgetStyle {

enum class Status { none, success, problem, note };

QLabel* title(const QString& text, QWidget* parent);
QLabel* subtitle(const QString& text, QWidget* parent);
QFont captionFont();
QFont calloutFont();
QPlainTextEdit* sourceEditor(QWidget* parent);
// The themed icon of a symbol name, as the toolbar shows it; the status marks and unknown symbols are drawn.
QIcon symbol(const QString& name);
// Fills an icon and a text label as one status line; `none` hides both. A note shows the
// symbol it is given, dimmed like its text, and no icon without one.
void setStatus(QLabel* icon, QLabel* text, const QString& message, Status status, const QString& noteSymbol = {});

} // namespace WidgetStyle
