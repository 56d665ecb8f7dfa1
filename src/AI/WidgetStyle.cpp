#include "AI/WidgetStyle.h"

#include "AI/SymbolIcons.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>

namespace WidgetStyle {
namespace {

const QColor green(0x2e, 0x9d, 0x4b);
const QColor orange(0xd9, 0x7a, 0x00);

QIcon drawn(const QString& name)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (name.startsWith(u"checkmark")) {
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawEllipse(QRectF(2, 2, 28, 28));
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(9, 16.5), QPointF(14, 21.5), QPointF(23, 11)});
    } else if (name.startsWith(u"exclamationmark")) {
        QPainterPath triangle;
        triangle.moveTo(16, 3);
        triangle.lineTo(30, 28);
        triangle.lineTo(2, 28);
        triangle.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(orange);
        p.drawPath(triangle);
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 11), QPointF(16, 19));
        p.drawPoint(QPointF(16, 24));
    } else if (name == u"sparkles") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3b, 0x6e, 0xd8));
        QPainterPath star;
        star.moveTo(14, 2);
        star.quadTo(15, 13, 26, 14);
        star.quadTo(15, 15, 14, 26);
        star.quadTo(13, 15, 2, 14);
        star.quadTo(13, 13, 14, 2);
        p.drawPath(star);
        p.drawEllipse(QRectF(23, 22, 7, 7));
    } else {
        // Any other symbol: a plain dot in the text colour, so a row never stands without one.
        p.setPen(Qt::NoPen);
        p.setBrush(QApplication::palette().color(QPalette::PlaceholderText));
        p.drawEllipse(QRectF(9, 9, 14, 14));
    }
    return QIcon(pixmap);
}

// A note's mark in the colour of its text: the outlined check of a valid source is drawn, any
// other symbol is the themed one.
QIcon dimmed(const QString& name, const QColor& color)
{
    if (name != u"checkmark.circle")
        return symbol(name);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(10, 16.5), QPointF(14.5, 21), QPointF(22.5, 11.5)});
    return QIcon(pixmap);
}

} // namespace

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("title"));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.45);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* subtitle(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("subtitle"));
    label->setWordWrap(true);
    label->setFont(calloutFont());
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QFont captionFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QFont calloutFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.95);
    return font;
}

QPlainTextEdit* sourceEditor(QWidget* parent)
{
    auto* editor = new QPlainTextEdit(parent);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(captionFont().pointSizeF());
    editor->setFont(mono);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setTabChangesFocus(false);
    editor->setStyleSheet(QStringLiteral("QPlainTextEdit { background: rgba(128,128,128,40); border: none;"
                                         " border-radius: 8px; padding: 6px; }"));
    return editor;
}

QIcon symbol(const QString& name)
{
    // The status marks are drawn in their colours; every other symbol is the toolbar's themed icon.
    if (name.startsWith(u"checkmark") || name.startsWith(u"exclamationmark.triangle") || name == u"sparkles")
        return drawn(name);
    const QIcon themed = SymbolIcons::icon(name);
    return themed.isNull() ? drawn(name) : themed;
}

void setStatus(QLabel* icon, QLabel* text, const QString& message, Status status, const QString& noteSymbol)
{
    const bool shown = status != Status::none && !message.isEmpty();
    icon->setVisible(shown && (status != Status::note || !noteSymbol.isEmpty()));
    text->setVisible(shown);
    text->setText(message);
    QPalette palette = text->palette();
    switch (status) {
    case Status::success:
        palette.setColor(QPalette::WindowText, green);
        icon->setPixmap(symbol(QStringLiteral("checkmark.circle.fill")).pixmap(14, 14));
        break;
    case Status::problem:
        palette.setColor(QPalette::WindowText, orange);
        icon->setPixmap(symbol(QStringLiteral("exclamationmark.triangle")).pixmap(14, 14));
        break;
    case Status::note:
    case Status::none:
        palette = QApplication::palette(text);
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        if (status == Status::note && !noteSymbol.isEmpty())
            icon->setPixmap(dimmed(noteSymbol, palette.color(QPalette::PlaceholderText)).pixmap(14, 14));
        break;
    }
    text->setPalette(palette);
}

} // namespace WidgetStyle
