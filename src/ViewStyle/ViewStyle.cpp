#include "ViewStyle/ViewStyle.h"

#include "ViewStyle/SymbolIcons.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace ViewStyle {
namespace {

// The status marks in their colours, and a plain dot for any other symbol.
QIcon drawn(const QString& name)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (name.startsWith(u"checkmark")) {
        p.setPen(Qt::NoPen);
        p.setBrush(green());
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
        p.setBrush(orange());
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

QPixmap tinted(const QPixmap& source, const QColor& color)
{
    QPixmap out(source.size());
    out.setDevicePixelRatio(source.devicePixelRatio());
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawPixmap(0, 0, source);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), color);
    return out;
}

QPixmap glyphPixmap(const QString& glyph, int size, const QColor& color)
{
    QPixmap out(size, size);
    out.fill(Qt::transparent);
    QPainter p(&out);
    QFont font = QApplication::font();
    font.setPixelSize(int(size * 0.8));
    p.setFont(font);
    p.setPen(color.isValid() ? color : QApplication::palette().color(QPalette::WindowText));
    p.drawText(out.rect(), Qt::AlignCenter, glyph);
    return out;
}

QFont scaledApplicationFont(double scale)
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * scale);
    return font;
}

} // namespace

QFont captionFont()
{
    return scaledApplicationFont(0.85);
}

QFont calloutFont()
{
    return scaledApplicationFont(0.95);
}

QFont titleFont(double points, bool semibold)
{
    QFont font = QApplication::font();
    font.setPointSizeF(points);
    if (semibold)
        font.setWeight(QFont::DemiBold);
    return font;
}

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
    QLabel* label = secondary(text, parent, 1.0);
    label->setObjectName(QStringLiteral("subtitle"));
    label->setFont(calloutFont());
    return label;
}

QLabel* secondary(const QString& text, QWidget* parent, double scale)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

QPushButton* linkButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); padding: 0 2px; border: none; }"));
    return button;
}

QPushButton* prominentButton(const QString& text, QWidget* parent, bool large)
{
    auto* button = new QPushButton(text, parent);
    button->setDefault(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { background: palette(highlight); color: palette(highlighted-text);"
                                         " border: none; border-radius: 6px; padding: %1; }"
                                         "QPushButton:pressed { background: palette(dark); }")
                              .arg(large ? QStringLiteral("8px 22px") : QStringLiteral("4px 14px")));
    if (large) {
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.05);
        button->setFont(font);
    }
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

QColor green() { return QColor(0x2f, 0x9e, 0x44); }
QColor orange() { return QColor(0xe0, 0x7b, 0x00); }
QColor accent() { return QApplication::palette().color(QPalette::Highlight); }
QColor secondaryColor() { return QApplication::palette().color(QPalette::PlaceholderText); }

QIcon symbol(const QString& name)
{
    // The status marks are drawn in their colours; every other symbol is the toolbar's themed icon.
    if (name.startsWith(u"checkmark") || name.startsWith(u"exclamationmark.triangle") || name == u"sparkles")
        return drawn(name);
    const QIcon themed = SymbolIcons::icon(name);
    return themed.isNull() ? drawn(name) : themed;
}

QIcon themedSymbol(const QString& name, const QColor& color)
{
    const QIcon themed = SymbolIcons::icon(name);
    QIcon result;
    for (int size : {16, 20, 24, 32, 48, 64}) {
        if (themed.isNull()) {
            result.addPixmap(glyphPixmap(SymbolIcons::glyph(name), size, color));
            continue;
        }
        const QPixmap pixmap = themed.pixmap(size);
        result.addPixmap(color.isValid() ? tinted(pixmap, color) : pixmap);
    }
    return result;
}

QLabel* symbolLabel(const QString& name, int size, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setProperty("symbolName", name);
    label->setPixmap(themedSymbol(name, color).pixmap(size));
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QWidget* labelWithSymbol(const QString& text, const QString& symbolName, const QColor& color, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(symbolLabel(symbolName, 16, color, row));
    auto* label = new QLabel(text, row);
    label->setWordWrap(true);
    label->setFont(calloutFont());
    label->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(label, 1);
    row->setProperty("text", text);
    return row;
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
        palette.setColor(QPalette::WindowText, green());
        icon->setPixmap(symbol(QStringLiteral("checkmark.circle.fill")).pixmap(14, 14));
        break;
    case Status::problem:
        palette.setColor(QPalette::WindowText, orange());
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

QPlainTextEdit* codeEditor(QWidget* parent)
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

QVBoxLayout* preparePage(QScrollArea* area, const QString& objectName)
{
    area->setObjectName(objectName);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(area);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(0);
    area->setWidget(content);
    return column;
}

QWidget* headerRow(const QString& text, QWidget* beside, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setSpacing(4);
    auto* label = new QLabel(text, row);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    layout->addWidget(label);
    if (beside)
        layout->addWidget(beside);
    layout->addStretch(1);
    return row;
}

QVBoxLayout* addSection(QVBoxLayout* column, QWidget* header, const QString& footer, const QString& footerName)
{
    QWidget* parent = column->parentWidget();
    auto* section = new QVBoxLayout;
    section->setSpacing(5);
    if (header)
        section->addWidget(header);
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("section"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* body = new QVBoxLayout(frame);
    body->setContentsMargins(12, 10, 12, 10);
    body->setSpacing(8);
    section->addWidget(frame);
    if (!footer.isEmpty()) {
        QLabel* label = secondary(footer, parent, 0.9);
        label->setObjectName(footerName);
        label->setContentsMargins(2, 0, 2, 0);
        section->addWidget(label);
    }
    column->addLayout(section);
    column->addSpacing(16);
    return body;
}

QWidget* card(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("card"));
    frame->setStyleSheet(QStringLiteral("QFrame#card { background: palette(base); border: 1px solid palette(mid);"
                                        " border-radius: 12px; }"));
    return frame;
}

void fade(QWidget* widget, qreal opacity)
{
    QPalette palette = widget->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(opacity);
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace ViewStyle
