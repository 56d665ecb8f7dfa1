#include "Selection/AIResultView.h"

#include "Selection/SelectionStrings.h"
#include "ViewStyle/SymbolIcons.h"
#include "ViewStyle/ViewStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
constexpr int cardWidth = 420;
constexpr int cardPadding = 14;
const QColor orange(0xc2, 0x5e, 0x00);

// A symbol drawn in one colour (the symbolic icons are monochrome).
QPixmap tinted(const QString& symbol, int size, const QColor& colour, qreal ratio)
{
    const QIcon icon = SymbolIcons::icon(symbol);
    if (icon.isNull())
        return {};
    QPixmap pm = icon.pixmap(QSize(size, size), ratio);
    QPainter p(&pm);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(pm.rect(), colour);
    return pm;
}

QLabel* symbolLabel(const QString& symbol, int size, const QColor& colour, QWidget* owner)
{
    auto* label = new QLabel;
    const QPixmap pm = tinted(symbol, size, colour, owner->devicePixelRatioF());
    if (pm.isNull()) {
        label->setText(SymbolIcons::glyph(symbol));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, colour);
        label->setPalette(p);
    } else {
        label->setPixmap(pm);
    }
    return label;
}

// A small indeterminate spinner: an arc going round.
class Spinner : public QWidget {
public:
    Spinner()
    {
        setFixedSize(16, 16);
        m_timer.setInterval(60);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor c = palette().color(QPalette::WindowText);
        c.setAlphaF(0.25);
        p.setPen(QPen(c, 2));
        const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
        p.drawEllipse(r);
        c.setAlphaF(0.8);
        p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(r, -m_angle * 16, 90 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

QLabel* outputLabel()
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A short output at its full height. It wraps between words where it can and inside a word where
// it must: a label keeps a word longer than the line whole, and a reply without spaces (a link, a
// path) would go on past the card's edge, out of sight.
class InlineText : public QTextEdit {
public:
    explicit InlineText(int preferredWidth)
        : m_preferredWidth(preferredWidth)
    {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setFocusPolicy(Qt::NoFocus);
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QTextEdit::WidgetWidth);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        document()->setDocumentMargin(0);
        viewport()->setAutoFillBackground(false);
        QPalette clear = palette();
        clear.setColor(QPalette::Base, Qt::transparent);
        setPalette(clear);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    QString text() const { return m_text; }
    void setText(const QString& text)
    {
        if (text == m_text)
            return;
        m_text = text;
        setPlainText(text);
        m_measured = {-1, 0};
        updateGeometry();
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        if (m_measured.first != width) {
            // Measured on a copy: laying out the shown document at another width would move it.
            const std::unique_ptr<QTextDocument> copy(document()->clone());
            copy->setTextWidth(std::max(1, width));
            m_measured = {width, static_cast<int>(std::ceil(copy->size().height()))};
        }
        return m_measured.second;
    }
    QSize sizeHint() const override { return {m_preferredWidth, heightForWidth(m_preferredWidth)}; }
    QSize minimumSizeHint() const override { return {0, heightForWidth(width() > 1 ? width() : m_preferredWidth)}; }

protected:
    void changeEvent(QEvent* event) override
    {
        QTextEdit::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            m_measured = {-1, 0};
            updateGeometry();
        }
    }

private:
    int m_preferredWidth;
    QString m_text;
    mutable std::pair<int, int> m_measured{-1, 0}; // width, height
};

QPushButton* smallButton(const QString& key, const QString& name, const std::function<void()>& action)
{
    auto* b = new QPushButton(SelectionStrings::string(key));
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    QFont f = b->font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    b->setFont(f);
    QObject::connect(b, &QPushButton::clicked, b, [action] {
        if (action)
            action();
    });
    return b;
}
// More than `limit` user-perceived characters, counting no further than needed (a streaming
// reply is measured again at every piece). A text of more than 16 units per character is long.
bool longerThan(QStringView text, qsizetype limit)
{
    if (text.size() <= limit)
        return false;
    if (text.size() > 16 * limit)
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype n = 0;
    while (finder.toNextBoundary() != -1)
        if (++n > limit)
            return true;
    return false;
}

// Nothing but white space: no text to write back.
bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}
} // namespace

QString AIResultView::shownText(const QString& output)
{
    if (output.size() <= displayLimit)
        return output;
    // The last character boundary at or before the limit, found in a short window around it.
    const qsizetype windowStart = displayLimit - 64;
    const QStringView window = QStringView(output).mid(windowStart, 128);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window.data(), window.size());
    qsizetype cut = 0;
    while (finder.toNextBoundary() != -1 && finder.position() <= displayLimit - windowStart)
        cut = finder.position();
    return output.left(windowStart + cut) + QChar(0x2026);
}

AIResultView::AIResultView(AIRun* run, bool canReplace, Actions actions, Lookup failureText, QWidget* parent)
    : QWidget(parent)
    , m_run(run)
    , m_canReplace(canReplace)
    , m_failureText(std::move(failureText))
{
    setFixedWidth(cardWidth);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    stack->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(symbolLabel(QStringLiteral("sparkles"), 16, palette().color(QPalette::Highlight), this));
    auto* title = new QLabel(run ? run->title() : QString());
    title->setObjectName(QStringLiteral("title"));
    title->setTextFormat(Qt::PlainText);
    QFont headline = title->font();
    headline.setBold(true);
    title->setFont(headline);
    header->addWidget(title, 1);
    m_spinner = new Spinner;
    m_spinner->setObjectName(QStringLiteral("spinner"));
    header->addWidget(m_spinner);
    stack->addLayout(header);

    m_inline = new InlineText(cardWidth - 2 * cardPadding);
    m_inline->setObjectName(QStringLiteral("output"));
    stack->addWidget(m_inline);
    // A text view lays out only the lines in sight, so a long output costs no more than a short
    // one; a word wider than the card goes on on the next line instead of being cut.
    m_scroll = new QPlainTextEdit;
    m_scroll->setObjectName(QStringLiteral("scroll"));
    m_scroll->setReadOnly(true);
    m_scroll->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_scroll->setFixedHeight(220);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->document()->setDocumentMargin(0);
    m_scroll->viewport()->setAutoFillBackground(false);
    QPalette clear = m_scroll->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    m_scroll->setPalette(clear);
    stack->addWidget(m_scroll);

    m_failure = new QWidget;
    auto* failureRow = new QHBoxLayout(m_failure);
    failureRow->setContentsMargins(0, 0, 0, 0);
    failureRow->setSpacing(6);
    failureRow->addWidget(symbolLabel(QStringLiteral("exclamationmark.triangle"), 14, orange, this), 0, Qt::AlignTop);
    m_failureLabel = outputLabel();
    m_failureLabel->setObjectName(QStringLiteral("failure"));
    QPalette warn = m_failureLabel->palette();
    warn.setColor(QPalette::WindowText, orange);
    m_failureLabel->setPalette(warn);
    failureRow->addWidget(m_failureLabel, 1);
    stack->addWidget(m_failure);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    ViewStyle::fade(divider, 0.15);
    stack->addWidget(divider);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_replace = smallButton(QStringLiteral("result.replace"), QStringLiteral("replace"), actions.onReplace);
    m_append = smallButton(QStringLiteral("result.append"), QStringLiteral("append"), actions.onAppend);
    m_copy = smallButton(QStringLiteral("result.copy"), QStringLiteral("copy"), actions.onCopy);
    m_retry = smallButton(QStringLiteral("result.retry"), QStringLiteral("retry"), actions.onRetry);
    m_close = smallButton(QStringLiteral("result.close"), QStringLiteral("close"), actions.onClose);
    for (auto* b : {m_replace, m_append, m_copy, m_retry})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    stack->addLayout(buttons);

    if (run) {
        for (auto signal : {&AIRun::outputChanged, &AIRun::isStreamingChanged, &AIRun::failureKeyChanged, &AIRun::canRetryChanged})
            connect(run, signal, this, &AIResultView::refresh);
    }
    refresh();
}

void AIResultView::refresh()
{
    const bool streaming = m_run && m_run->isStreaming();
    const std::optional<QString> failure = m_run ? m_run->failureKey() : std::nullopt;
    const QString output = m_run ? m_run->output() : QString();
    m_spinner->setVisible(streaming);
    m_failure->setVisible(failure.has_value());
    if (failure)
        m_failureLabel->setText(m_failureText ? m_failureText(*failure) : *failure);
    // Counted on what is shown: an output past the display limit scrolls in any case.
    const bool scrolls = !failure && (output.size() > displayLimit || longerThan(output, inlineLimit));
    m_inline->setVisible(!failure && !scrolls);
    m_scroll->setVisible(scrolls);
    const QString shown = failure ? QString() : shownText(output);
    if (scrolls)
        showScrolled(shown);
    else
        static_cast<InlineText*>(m_inline)->setText(shown);
    // Writing back nothing would only delete the selection.
    const bool writable = m_canReplace && !streaming && !failure && !isBlank(output);
    m_replace->setVisible(writable);
    m_append->setVisible(writable);
    m_copy->setVisible(!failure);
    m_copy->setEnabled(!streaming);
    m_retry->setVisible(m_run && m_run->canRetry());
    m_close->setVisible(true);
    layout()->invalidate();
    updateGeometry();
}

void AIResultView::showScrolled(const QString& text)
{
    // A streaming reply grows at its end: only the new part is added, so the reader keeps their
    // place and the text is not laid out again from the start.
    if (!m_scrolledText.isEmpty() && text.size() > m_scrolledText.size() && text.startsWith(m_scrolledText)) {
        QTextCursor end(m_scroll->document());
        end.movePosition(QTextCursor::End);
        end.insertText(text.mid(m_scrolledText.size()));
    } else if (text != m_scrolledText) {
        m_scroll->setPlainText(text);
    }
    m_scrolledText = text;
}

QString AIResultView::inlineText() const
{
    return static_cast<InlineText*>(m_inline)->text();
}

QString AIResultView::scrolledText() const
{
    return m_scroll->toPlainText();
}

int AIResultView::heightForWidth(int) const
{
    const int height = layout()->totalHeightForWidth(cardWidth);
    return height >= 0 ? height : layout()->totalSizeHint().height();
}

QSize AIResultView::sizeHint() const
{
    return QSize(cardWidth, heightForWidth(cardWidth));
}

bool AIResultView::isSpinnerShown() const
{
    return m_spinner->isVisibleTo(this);
}

bool AIResultView::isScrolling() const
{
    return m_scroll->isVisibleTo(this);
}

QPushButton* AIResultView::button(const QString& name) const
{
    for (auto* b : {m_replace, m_append, m_copy, m_retry, m_close})
        if (b->objectName() == name)
            return b;
    return nullptr;
}
