#include "AI/PluginSourceEditor.h"

#include "AI/AIStrings.h"
#include "ViewStyle/ViewStyle.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

PluginSourceEditor::PluginSourceEditor(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("sourceEditor"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_source = ViewStyle::codeEditor(this);
    m_source->setObjectName(QStringLiteral("source"));
    m_source->setMinimumHeight(180);
    layout->addWidget(m_source, 1);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setFont(ViewStyle::captionFont());
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    m_caption->setWordWrap(true);
    m_caption->setMaximumHeight(m_caption->fontMetrics().lineSpacing() * 2 + 2);
    layout->addWidget(m_caption);
    connect(m_source, &QPlainTextEdit::textChanged, this, &PluginSourceEditor::sourceChanged);
    refresh();
}

QString PluginSourceEditor::source() const
{
    return m_source->toPlainText();
}

void PluginSourceEditor::setSource(const QString& source)
{
    if (m_source->toPlainText() == source)
        return;
    m_source->setPlainText(source);
}

void PluginSourceEditor::setSummary(const QString& summary)
{
    m_summary = summary;
    refresh();
}

void PluginSourceEditor::setStreaming(bool streaming)
{
    m_isStreaming = streaming;
    refresh();
}

void PluginSourceEditor::refresh()
{
    m_source->setReadOnly(m_isStreaming);
    m_source->setEnabled(!m_isStreaming);
    m_caption->setText(m_isStreaming ? AIStrings::string(QStringLiteral("composer.writing")) : m_summary);
    m_caption->setVisible(!m_caption->text().isEmpty());
}
