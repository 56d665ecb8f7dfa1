#include "AI/PluginPasteView.h"

#include "AI/AIStrings.h"
#include "AI/AIViewModel.h"
#include "AI/PluginProblem.h"
#include "AIProviders/PluginBridge.h"
#include "ViewStyle/ViewStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QVBoxLayout>

QString PluginPasteView::summary(const PluginManifest& manifest)
{
    QStringList entries;
    for (const PluginManifest::Action& action : manifest.actions)
        entries << action.title + QStringLiteral(" \u2014 ") + AIStrings::string(titleKey(action.scope));
    return entries.join(QStringLiteral(" \u00b7 "));
}

std::optional<std::expected<PluginManifest, QString>> PluginPasteView::validate(const QString& source)
{
    if (source.trimmed().isEmpty())
        return std::nullopt;
    if (source.size() > PluginProblem::maximumSourceBytes)
        return std::unexpected(AIStrings::string(QStringLiteral("plugin.error.tooLarge")));
    auto manifest = PluginManifest::decode(source);
    if (!manifest)
        return std::unexpected(PluginProblem::describe(manifest.error()));
    return std::move(*manifest);
}

std::expected<QString, QString> PluginPasteView::sourceOf(const QByteArray& bytes)
{
    if (bytes.size() > PluginProblem::maximumSourceBytes)
        return std::unexpected(AIStrings::string(QStringLiteral("plugin.error.tooLarge")));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::unexpected(PluginProblem::describe(PluginManifest::ManifestError::notAMapping()));
    return text;
}

PluginPasteView::PluginPasteView(AIViewModel& ai, Options options, QWidget* parent)
    : QDialog(parent)
    , m_ai(ai)
    , m_options(std::move(options))
{
    setObjectName(QStringLiteral("pluginPasteView"));
    setWindowTitle(AIStrings::string(QStringLiteral("plugin.paste.title")));
    setFixedSize(540, 520);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(ViewStyle::title(AIStrings::string(QStringLiteral("plugin.paste.title")), this));
    layout->addWidget(ViewStyle::subtitle(AIStrings::string(QStringLiteral("plugin.paste.subtitle")), this));

    m_editor = ViewStyle::codeEditor(this);
    m_editor->setObjectName(QStringLiteral("source"));
    layout->addWidget(m_editor, 1);

    auto* statusRow = new QHBoxLayout;
    m_statusIcon = new QLabel(this);
    m_statusIcon->setObjectName(QStringLiteral("statusIcon"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_status->setFont(ViewStyle::captionFont());
    statusRow->addWidget(m_statusIcon, 0, Qt::AlignTop);
    statusRow->addWidget(m_status, 1);
    layout->addLayout(statusRow);

    auto* buttons = new QHBoxLayout;
    auto* cancelButton = new QPushButton(AIStrings::string(QStringLiteral("composer.cancel")), this);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    m_add = new QPushButton(AIStrings::string(QStringLiteral("plugin.paste.add")), this);
    m_add->setObjectName(QStringLiteral("add"));
    m_add->setDefault(true);
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    buttons->addWidget(m_add);
    layout->addLayout(buttons);

    connect(cancelButton, &QPushButton::clicked, this, &PluginPasteView::cancel);
    connect(m_add, &QPushButton::clicked, this, &PluginPasteView::add);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &PluginPasteView::revalidate);

    revalidate();
    if (!m_options.initialSource.isEmpty()) {
        setSource(m_options.initialSource);
    } else if (m_options.pasteboard) {
        // Only a valid plug-in is taken from the clipboard: other text is none of ours.
        const auto copied = m_options.pasteboard->string();
        if (copied) {
            const auto checked = validate(*copied);
            if (checked && *checked)
                setSource(*copied);
        }
    }
}

QString PluginPasteView::source() const
{
    return m_editor->toPlainText();
}

void PluginPasteView::setSource(const QString& source)
{
    m_editor->setPlainText(source);
}

void PluginPasteView::revalidate()
{
    const auto checked = validate(source());
    m_manifest.reset();
    m_problem.reset();
    if (checked) {
        if (*checked)
            m_manifest = **checked;
        else
            m_problem = checked->error();
    }
    if (!m_problem && !m_manifest && source().isEmpty() && m_options.initialProblem)
        m_problem = m_options.initialProblem;
    if (m_problem) {
        ViewStyle::setStatus(m_statusIcon, m_status, *m_problem, ViewStyle::Status::problem);
        m_status->setMaximumHeight(QWIDGETSIZE_MAX);
    } else if (m_manifest) {
        ViewStyle::setStatus(m_statusIcon, m_status, summary(*m_manifest), ViewStyle::Status::note,
                             QStringLiteral("checkmark.circle"));
        m_status->setMaximumHeight(m_status->fontMetrics().lineSpacing() * 3);
    } else {
        ViewStyle::setStatus(m_statusIcon, m_status, QString(), ViewStyle::Status::none);
    }
    m_add->setEnabled(m_manifest.has_value());
}

void PluginPasteView::add()
{
    if (m_manifest) {
        m_ai.appendCustomActions(PluginBridge::templates(*m_manifest));
        if (m_options.onAdded)
            m_options.onAdded();
    }
    finish();
}

void PluginPasteView::cancel()
{
    finish();
}

void PluginPasteView::finish()
{
    accept();
    if (m_options.onFinish)
        m_options.onFinish();
}

PluginImportWindow::PluginImportWindow(QObject* parent)
    : QObject(parent)
{
}

PluginImportWindow::~PluginImportWindow()
{
    delete m_window;
}

void PluginImportWindow::present(const QString& source, AIViewModel& ai, PluginPasteView::Options options)
{
    close();
    options.initialSource = source;
    QPointer<PluginImportWindow> self(this);
    auto finish = std::move(options.onFinish);
    options.onFinish = [self, finish] {
        if (finish)
            finish();
        if (self)
            self->close();
    };
    m_window = new PluginPasteView(ai, std::move(options));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (const QScreen* screen = QApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PluginImportWindow::close()
{
    if (!m_window)
        return;
    // Closing may come from the window's own button: it goes once its handler returned.
    m_window->hide();
    m_window->deleteLater();
    m_window = nullptr;
}
