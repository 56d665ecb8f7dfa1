#include "AI/ScriptApprovalWindow.h"

#include "AI/AIStrings.h"
#include "ActionCore/ActionCoreStrings.h"
#include "LocalActions/ScriptRunner.h"
#include "LocalActions/ToolInstaller.h"
#include "Platform/IconTheme.h"

#include <QApplication>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QLabel* wrapping(const QString& text, const QFont& font)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    return label;
}

QIcon themed(const QStringList& names)
{
    Platform::IconTheme::settle();
    for (const QString& name : names)
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    return {};
}

// A symbol and a text side by side, the symbol taking the text's colour.
QWidget* symbolLabel(const QStringList& iconNames, const QString& text, const QFont& font, const QColor& colour,
                     const QString& objectName)
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    auto* icon = new QLabel;
    const QIcon i = themed(iconNames);
    const int size = QFontMetrics(font).height();
    if (!i.isNull())
        icon->setPixmap(i.pixmap(QSize(size, size)));
    icon->setAlignment(Qt::AlignTop);
    auto* label = wrapping(text, font);
    label->setObjectName(objectName);
    if (colour.isValid()) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, colour);
        label->setPalette(p);
    }
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    return box;
}

const QColor orange(0xc2, 0x5e, 0x00);

// A command that may take several lines. Lines end only at the blanks between its words: a
// hyphen, where text may otherwise go on to the next line, is shown as one that never ends a
// line, and whatever is copied from the view is the command as written.
class CommandView final : public QPlainTextEdit {
public:
    static constexpr QChar keptHyphen{0x2011};

    explicit CommandView(const QString& command)
        : QPlainTextEdit(QString(command).replace(u'-', keptHyphen))
    {
    }

protected:
    QMimeData* createMimeDataFromSelection() const override
    {
        auto* data = new QMimeData;
        data->setText(textCursor().selectedText().replace(keptHyphen, u'-'));
        return data;
    }
};
} // namespace

ScriptApprovalView::ScriptApprovalView(const QString& title, const ScriptAction& script,
                                       std::shared_ptr<Platform::Pasteboards> pasteboards, std::function<void()> onApprove,
                                       std::function<void()> onCancel, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(480, 500);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(12);

    QFont headline = font();
    headline.setBold(true);
    headline.setPointSizeF(font().pointSizeF() * 1.1);
    QFont callout = font();
    QFont caption = font();
    caption.setPointSizeF(font().pointSizeF() * 0.85);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(caption.pointSizeF());

    stack->addWidget(symbolLabel({"security-medium-symbolic", "dialog-warning-symbolic", "dialog-warning"},
                                 AIStrings::string(QStringLiteral("script.approve.title")), headline, QColor(),
                                 QStringLiteral("heading")));
    auto* body = wrapping(AIStrings::string(QStringLiteral("script.approve.body")).arg(title), callout);
    body->setObjectName(QStringLiteral("body"));
    stack->addWidget(body);

    auto* box = new QGroupBox(ActionCoreStrings::string(titleKey(script.language)));
    box->setObjectName(QStringLiteral("language"));
    box->setFont(caption);
    auto* boxLayout = new QVBoxLayout(box);
    auto* source = new QPlainTextEdit(script.source);
    source->setObjectName(QStringLiteral("source"));
    source->setReadOnly(true);
    source->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    source->setFont(mono);
    source->setFixedHeight(200);
    source->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    source->setLineWrapMode(QPlainTextEdit::NoWrap);
    boxLayout->addWidget(source);
    stack->addWidget(box);

    const bool sandboxed = script.language == ScriptLanguage::javaScript;
    QColor secondary = palette().color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    stack->addWidget(symbolLabel(sandboxed ? QStringList{"security-high-symbolic", "changes-prevent-symbolic"}
                                           : QStringList{"dialog-warning-symbolic", "dialog-warning"},
                                 ActionCoreStrings::string(reachKey(script.language)), callout,
                                 sandboxed ? secondary : orange, QStringLiteral("reach")));

    const QStringList missing = ScriptRunner::missingTools(script);
    if (!missing.isEmpty()) {
        auto* tools = new QWidget;
        tools->setObjectName(QStringLiteral("missingTools"));
        auto* toolsLayout = new QVBoxLayout(tools);
        toolsLayout->setContentsMargins(0, 0, 0, 0);
        toolsLayout->setSpacing(6);
        toolsLayout->addWidget(symbolLabel({"applications-engineering-symbolic", "preferences-system-symbolic"},
                                           AIStrings::string(QStringLiteral("script.missingTools")).arg(missing.join(u", ")),
                                           callout, orange, QStringLiteral("missingToolsLabel")));
        auto* commandRow = new QHBoxLayout;
        // A command can be longer than the row: it goes on at the blanks between its words, never
        // inside one (a word wider than the row scrolls sideways rather than being cut).
        auto* command = new CommandView(ToolInstaller::installCommand(missing));
        command->setObjectName(QStringLiteral("installCommand"));
        command->setReadOnly(true);
        command->setFont(mono);
        command->setFrameShape(QFrame::NoFrame);
        command->setWordWrapMode(QTextOption::WordWrap);
        command->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        command->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        command->viewport()->setAutoFillBackground(false);
        command->document()->setDocumentMargin(0);
        command->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* copy = new QPushButton(AIStrings::string(QStringLiteral("script.copyCommand")));
        copy->setObjectName(QStringLiteral("copyCommand"));
        copy->setFlat(true);
        copy->setCursor(Qt::PointingHandCursor);
        QPalette link = copy->palette();
        link.setColor(QPalette::ButtonText, palette().color(QPalette::Link));
        copy->setPalette(link);
        m_copyCommand = copy;
        connect(copy, &QPushButton::clicked, this, [script, pasteboards] {
            // Computed again: a tool may have been installed since the window opened.
            const QString line = ToolInstaller::installCommand(ScriptRunner::missingTools(script));
            auto board = pasteboards->general();
            board->clearContents();
            board->setString(line);
        });
        commandRow->addWidget(command, 1, Qt::AlignVCenter);
        commandRow->addWidget(copy, 0, Qt::AlignVCenter);
        // As high as the lines the command takes at the row's width, once laid out there.
        auto fit = [command] {
            const QRectF laidOut = command->document()->documentLayout()->blockBoundingRect(command->document()->firstBlock());
            const int height = std::max(int(std::ceil(laidOut.height())), QFontMetrics(command->font()).lineSpacing());
            const QScrollBar* sideways = command->horizontalScrollBar();
            const int bar = sideways->maximum() > 0 ? sideways->sizeHint().height() : 0;
            command->setFixedHeight(height + bar + 2 * command->frameWidth());
        };
        connect(command->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, command, fit);
        // A new width re-wraps the lines without a size change of the document being announced.
        connect(command->verticalScrollBar(), &QScrollBar::rangeChanged, command, fit);
        connect(command->horizontalScrollBar(), &QScrollBar::rangeChanged, command, fit);
        fit();
        toolsLayout->addLayout(commandRow);
        stack->addWidget(tools);
    }

    auto* scope = wrapping(AIStrings::string(QStringLiteral("script.approve.scope")), caption);
    scope->setObjectName(QStringLiteral("scope"));
    QPalette sp = scope->palette();
    sp.setColor(QPalette::WindowText, secondary);
    scope->setPalette(sp);
    stack->addWidget(scope);
    stack->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(AIStrings::string(QStringLiteral("script.approve.cancel")));
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    auto* allow = new QPushButton(AIStrings::string(QStringLiteral("script.approve.allow")));
    allow->setObjectName(QStringLiteral("allow"));
    allow->setAutoDefault(false);
    allow->setDefault(false);
    QPalette prominent = allow->palette();
    prominent.setColor(QPalette::Button, palette().color(QPalette::Highlight));
    prominent.setColor(QPalette::ButtonText, palette().color(QPalette::HighlightedText));
    allow->setPalette(prominent);
    allow->setAutoFillBackground(true);
    m_allow = allow;
    m_cancel = cancel;
    connect(cancel, &QPushButton::clicked, this, [onCancel] {
        if (onCancel)
            onCancel();
    });
    connect(allow, &QPushButton::clicked, this, [onApprove] {
        if (onApprove)
            onApprove();
    });
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(allow);
    stack->addLayout(buttons);
}

ScriptApprovalWindow::ScriptApprovalWindow(std::shared_ptr<Platform::Pasteboards> pasteboards, QObject* parent)
    : QObject(parent)
    , m_pasteboards(std::move(pasteboards))
{
}

ScriptApprovalWindow::~ScriptApprovalWindow()
{
    delete m_window.data();
}

void ScriptApprovalWindow::closeWindow()
{
    if (!m_window)
        return;
    m_window->close();
    m_window->deleteLater();
    m_window = nullptr;
}

void ScriptApprovalWindow::present(const QString& title, const ScriptAction& script, std::function<void()> onApprove)
{
    closeWindow();
    QPointer<ScriptApprovalWindow> self(this);
    auto approve = [self, onApprove] {
        if (self)
            self->closeWindow();
        if (onApprove)
            onApprove();
    };
    auto cancel = [self] {
        if (self)
            self->closeWindow();
    };
    auto* window = new ScriptApprovalView(title, script, m_pasteboards, approve, cancel);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    window->setWindowTitle(AIStrings::string(QStringLiteral("script.approve.title")));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    m_window = window;
    window->show();
    window->raise();
    window->activateWindow();
}
