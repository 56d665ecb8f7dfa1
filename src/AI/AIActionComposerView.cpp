#include "AI/AIActionComposerView.h"

#include "AI/AIStrings.h"
#include "AI/AIViewModel.h"
#include "AI/PluginPasteView.h"
#include "AI/PluginProblem.h"
#include "AI/PluginSourceEditor.h"
#include "AIProviders/AIActionAuthor.h"
#include "AIProviders/PluginBridge.h"
#include "ViewStyle/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return AIStrings::string(QString::fromLatin1(key));
}

// Blank for the description means spaces and tabs only: a line break is something said.
bool isBlankRequest(const QString& s)
{
    for (const QChar c : s)
        if (c != u' ' && c != u'\t')
            return false;
    return true;
}

QLabel* bullet(const QString& s, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("\u2022 ") + s, parent);
    label->setWordWrap(true);
    label->setFont(ViewStyle::captionFont());
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QWidget* capabilitiesList(QWidget* parent)
{
    auto* list = new QWidget(parent);
    list->setObjectName(QStringLiteral("capabilitiesList"));
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    QFont medium = ViewStyle::captionFont();
    medium.setWeight(QFont::Medium);
    auto* entryPoints = new QLabel(text("composer.capabilities.entryPoints"), list);
    entryPoints->setFont(medium);
    layout->addWidget(entryPoints);
    for (ActionScope scope : allCases<ActionScope>())
        layout->addWidget(bullet(AIStrings::string(titleKey(scope)), list));
    auto* runners = new QLabel(text("composer.capabilities.runners"), list);
    runners->setFont(medium);
    runners->setContentsMargins(0, 2, 0, 0);
    layout->addWidget(runners);
    for (const char* key : {"composer.capabilities.builtIn", "composer.capabilities.javascript", "composer.capabilities.ai",
                            "composer.capabilities.shell"})
        layout->addWidget(bullet(text(key), list));
    return list;
}

} // namespace

QString AIActionComposerView::starterTemplate()
{
    return QStringLiteral("name: ") + text("composer.template.name") + QStringLiteral("\n\nactions:\n  - title: ")
        + text("composer.template.textTitle")
        + QStringLiteral("\n    on: text\n    icon: textformat\n    run: javascript\n    output: replace\n    script: |-\n"
                         "      output = input.toUpperCase()\n\n  - title: ")
        + text("composer.template.fileTitle")
        + QStringLiteral("\n    on: files\n    icon: photo\n    contexts: [image]\n    run: convertImage\n    format: png\n"
                         "    quality: 90");
}

QString AIActionComposerView::summary(const PluginManifest& manifest)
{
    return PluginPasteView::summary(manifest);
}

AIActionComposerView::AIActionComposerView(AIViewModel& ai, std::function<void(bool)> onSaved, QWidget* parent)
    : QDialog(parent)
    , m_ai(ai)
    , m_onSaved(std::move(onSaved))
{
    setObjectName(QStringLiteral("composer"));
    setWindowTitle(text("composer.title"));
    setFixedSize(560, 620);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(ViewStyle::title(text("composer.title"), this));
    layout->addWidget(ViewStyle::subtitle(text("composer.subtitle"), this));

    m_request = new QPlainTextEdit(this);
    m_request->setObjectName(QStringLiteral("request"));
    m_request->setPlaceholderText(text("composer.prompt"));
    m_request->setTabChangesFocus(true);
    const int line = m_request->fontMetrics().lineSpacing();
    m_request->setFixedHeight(line * 3 + 14);
    layout->addWidget(m_request);

    m_capabilitiesToggle = new QToolButton(this);
    m_capabilitiesToggle->setObjectName(QStringLiteral("capabilities"));
    m_capabilitiesToggle->setText(text("composer.capabilities"));
    m_capabilitiesToggle->setCheckable(true);
    m_capabilitiesToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_capabilitiesToggle->setArrowType(Qt::RightArrow);
    m_capabilitiesToggle->setAutoRaise(true);
    m_capabilitiesToggle->setFont(ViewStyle::calloutFont());
    layout->addWidget(m_capabilitiesToggle);
    m_capabilities = capabilitiesList(this);
    m_capabilities->setVisible(false);
    layout->addWidget(m_capabilities);
    connect(m_capabilitiesToggle, &QToolButton::toggled, this, [this](bool on) {
        m_capabilitiesToggle->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        m_capabilities->setVisible(on);
    });

    m_editor = new PluginSourceEditor(this);
    layout->addWidget(m_editor, 1);

    m_failureRow = new QWidget(this);
    m_failureRow->setObjectName(QStringLiteral("failure"));
    auto* failure = new QHBoxLayout(m_failureRow);
    failure->setContentsMargins(0, 0, 0, 0);
    m_failureIcon = new QLabel(m_failureRow);
    m_failureText = new QLabel(m_failureRow);
    m_failureText->setObjectName(QStringLiteral("failureText"));
    m_failureText->setWordWrap(true);
    m_failureText->setFont(ViewStyle::calloutFont());
    failure->addWidget(m_failureIcon, 0, Qt::AlignTop);
    failure->addWidget(m_failureText, 1);
    layout->addWidget(m_failureRow);
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto* cancel = new QPushButton(text("composer.cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    m_writeItMyself = new QPushButton(text("composer.writeItMyself"), this);
    m_writeItMyself->setObjectName(QStringLiteral("writeItMyself"));
    m_writeItMyself->setAutoDefault(false);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(48, 8);
    m_generate = new QPushButton(text("composer.generate"), this);
    m_generate->setObjectName(QStringLiteral("generate"));
    m_regenerate = new QPushButton(text("composer.regenerate"), this);
    m_regenerate->setObjectName(QStringLiteral("regenerate"));
    m_regenerate->setAutoDefault(false);
    m_save = new QPushButton(text("composer.save"), this);
    m_save->setObjectName(QStringLiteral("save"));
    buttons->addWidget(cancel);
    buttons->addWidget(m_writeItMyself);
    buttons->addStretch();
    buttons->addWidget(m_progress);
    buttons->addWidget(m_generate);
    buttons->addWidget(m_regenerate);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_writeItMyself, &QPushButton::clicked, this, &AIActionComposerView::writeItMyself);
    connect(m_generate, &QPushButton::clicked, this, &AIActionComposerView::generate);
    connect(m_regenerate, &QPushButton::clicked, this, &AIActionComposerView::generate);
    connect(m_save, &QPushButton::clicked, this, &AIActionComposerView::save);
    connect(m_request, &QPlainTextEdit::textChanged, this, &AIActionComposerView::refresh);
    connect(m_editor, &PluginSourceEditor::sourceChanged, this, &AIActionComposerView::sourceChanged);
    refresh();
}

AIActionComposerView::~AIActionComposerView() = default;

QString AIActionComposerView::request() const
{
    return m_request->toPlainText();
}

QString AIActionComposerView::source() const
{
    return m_editor->source();
}

void AIActionComposerView::setSource(const QString& source)
{
    m_editor->setSource(source);
}

void AIActionComposerView::sourceChanged()
{
    // Nothing is validated while a reply streams in: only the whole reply is a plug-in.
    if (!m_isWorking)
        revalidate(source());
    refresh();
}

void AIActionComposerView::writeItMyself()
{
    m_usedTemplate = true;
    setSource(starterTemplate());
}

void AIActionComposerView::generate()
{
    m_isWorking = true;
    m_usedTemplate = false;
    m_failure.reset();
    m_draft.reset();
    setSource(QString());
    m_running.clear();
    refresh();

    auto stream = m_ai.service().complete(AIActionAuthor::systemPrompt(), request());
    if (!stream) {
        finish(AIStrings::string(stream.error().messageKey()));
        return;
    }
    m_stream = std::move(*stream);
    connect(m_stream.get(), &AIStream::delta, this, [this](const QString& piece) {
        m_running += piece;
        setSource(m_running);
    });
    connect(m_stream.get(), &AIStream::finished, this, [this] {
        m_stream.release()->deleteLater();
        const auto manifest = AIActionAuthor::makeManifest(m_running);
        if (!manifest) {
            finish(manifest.error().kind == AIActionAuthor::AuthoringError::Kind::rejected
                       ? PluginProblem::describe(manifest.error().manifestError)
                       : text("composer.error.unparseable"));
            return;
        }
        m_draft = *manifest;
        m_isWorking = false;
        // The canonical text replaces the raw reply, fences and all.
        const QString canonical = manifest->encoded();
        if (source() == canonical)
            revalidate(canonical);
        else
            setSource(canonical);
        refresh();
    });
    connect(m_stream.get(), &AIStream::failed, this, [this](const AIError& error) {
        m_stream.release()->deleteLater();
        finish(AIStrings::string(error.messageKey()));
    });
}

void AIActionComposerView::finish(const QString& failure)
{
    m_failure = failure;
    m_isWorking = false;
    // Text in the editor speaks for itself: its own validation replaces the message.
    if (!source().isEmpty())
        revalidate(source());
    refresh();
}

void AIActionComposerView::revalidate(const QString& text)
{
    if (text.isEmpty()) {
        m_draft.reset();
        return;
    }
    const auto checked = PluginPasteView::validate(text);
    if (checked && *checked) {
        m_draft = **checked;
        m_failure.reset();
    } else {
        m_draft.reset();
        m_failure = checked ? checked->error() : AIStrings::string(QStringLiteral("composer.error.unparseable"));
    }
}

void AIActionComposerView::save()
{
    if (!m_draft)
        return;
    if (m_onSaved)
        m_onSaved(m_usedTemplate);
    m_ai.appendCustomActions(PluginBridge::templates(*m_draft));
    accept();
}

void AIActionComposerView::refresh()
{
    const bool empty = source().isEmpty();
    m_request->setReadOnly(m_isWorking);
    m_request->setEnabled(!m_isWorking);
    m_editor->setVisible(m_isWorking || !empty);
    m_editor->setSummary(m_draft ? summary(*m_draft) : QString());
    m_editor->setStreaming(m_isWorking);

    m_failureRow->setVisible(m_failure.has_value());
    ViewStyle::setStatus(m_failureIcon, m_failureText, m_failure.value_or(QString()),
                         m_failure ? ViewStyle::Status::problem : ViewStyle::Status::none);

    m_writeItMyself->setVisible(empty && !m_isWorking);
    m_progress->setVisible(m_isWorking);
    m_generate->setVisible(empty);
    m_generate->setEnabled(!m_isWorking && !isBlankRequest(request()));
    m_generate->setDefault(empty);
    m_regenerate->setVisible(!empty);
    m_regenerate->setEnabled(!m_isWorking);
    m_save->setVisible(!empty);
    m_save->setEnabled(!m_isWorking && m_draft.has_value());
    m_save->setDefault(!empty);
}
