#include "Settings/SettingsStyle.h"

#include "AI/SymbolIcons.h"
#include "System/AppStrings.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace SettingsStyle {

QString text(const QString& key)
{
    return AppStrings::string(key);
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

QWidget* header(const QString& key, QWidget* beside, QWidget* parent)
{
    QWidget* row = headerText(text(key), beside, parent);
    row->findChild<QLabel*>()->setObjectName(key);
    return row;
}

QWidget* headerText(const QString& title, QWidget* beside, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 0, 0, 0);
    layout->setSpacing(4);
    auto* label = new QLabel(title, row);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    layout->addWidget(label);
    if (beside)
        layout->addWidget(beside);
    layout->addStretch(1);
    return row;
}

QVBoxLayout* addSection(QVBoxLayout* column, const QString& headerKey, const QString& footerKey, QWidget* headerWidget,
                        const QString& footerText)
{
    QWidget* parent = column->parentWidget();
    auto* section = new QVBoxLayout;
    section->setSpacing(5);
    if (headerWidget)
        section->addWidget(headerWidget);
    else if (!headerKey.isEmpty())
        section->addWidget(header(headerKey, nullptr, parent));
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("section"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* body = new QVBoxLayout(frame);
    body->setContentsMargins(12, 10, 12, 10);
    body->setSpacing(8);
    section->addWidget(frame);
    const QString footer = footerText.isEmpty() && !footerKey.isEmpty() ? text(footerKey) : footerText;
    if (!footer.isEmpty()) {
        QLabel* label = secondary(footer, parent, 0.9);
        label->setObjectName(footerKey);
        label->setContentsMargins(2, 0, 2, 0);
        section->addWidget(label);
    }
    column->addLayout(section);
    column->addSpacing(16);
    return body;
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

QFont calloutFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.95);
    return font;
}

QFont captionFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QFont titleFont(double points, bool semibold)
{
    QFont font = QApplication::font();
    font.setPointSizeF(points);
    if (semibold)
        font.setWeight(QFont::DemiBold);
    return font;
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

namespace {

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

} // namespace

QIcon symbol(const QString& name, const QColor& color)
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
    label->setPixmap(symbol(name, color).pixmap(size));
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

QColor green() { return QColor(0x2f, 0x9e, 0x44); }
QColor orange() { return QColor(0xe0, 0x7b, 0x00); }
QColor accent() { return QApplication::palette().color(QPalette::Highlight); }
QColor secondaryColor() { return QApplication::palette().color(QPalette::PlaceholderText); }

QWidget* unavailable(QWidget* parent)
{
    auto* label = secondary(text(QStringLiteral("settings.page.unavailable")), parent, 1.0);
    label->setObjectName(QStringLiteral("settings.page.unavailable"));
    label->setAlignment(Qt::AlignCenter);
    label->setContentsMargins(40, 40, 40, 40);
    return label;
}

QWidget* card(QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("card"));
    frame->setStyleSheet(QStringLiteral("QFrame#card { background: palette(base); border: 1px solid palette(mid);"
                                        " border-radius: 12px; }"));
    return frame;
}

} // namespace SettingsStyle
