#include "AI/AIActionSettingsView.h"

#include "System/LibraryLink.h"

#include "AI/AIActionComposerView.h"
#include "AI/AIActionRow.h"
#include "AI/AIStrings.h"
#include "AI/ActionInspectorView.h"
#include "AI/AIViewModel.h"
#include "AI/PluginDocument.h"
#include "AI/PluginPasteView.h"
#include "AIProviders/AIProvidersStrings.h"
#include "AIProviders/PluginBridge.h"
#include "Platform/Desktop/DesktopApplicationEntry.h"
#include "SecurityCore/ModuleStrings.h"
#include "ViewStyle/ViewStyle.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return AIStrings::string(QString::fromLatin1(key));
}

QLabel* secondary(const QString& s, QWidget* parent, const QString& name)
{
    auto* label = new QLabel(s, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* footer(const QString& s, QWidget* parent)
{
    QLabel* label = secondary(s, parent, QString());
    label->setFont(ViewStyle::calloutFont());
    return label;
}

void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        delete item;
    }
}

} // namespace

AIActionSettingsView::AIActionSettingsView(AIViewModel& ai, ActionScope scope, Environment environment, QWidget* parent)
    : QWidget(parent)
    , m_ai(ai)
    , m_scope(scope)
    , m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("aiActionSettings:") + toRaw(scope));
    auto* outer = new QVBoxLayout(this);

    auto* builtIn = new QGroupBox(text("settings.actions.builtIn"), this);
    m_builtIn = new QVBoxLayout(builtIn);
    outer->addWidget(builtIn);

    auto* custom = new QGroupBox(text("settings.actions.custom"), this);
    auto* customOuter = new QVBoxLayout(custom);
    m_custom = new QVBoxLayout;
    customOuter->addLayout(m_custom);
    customOuter->addWidget(footer(text("settings.actions.scopeHint"), custom));
    outer->addWidget(custom);

    auto* authoring = new QGroupBox(this);
    auto* a = new QVBoxLayout(authoring);
    m_compose = new QPushButton(text("settings.actions.compose"), authoring);
    m_compose->setObjectName(QStringLiteral("compose"));
    auto* composeRow = new QHBoxLayout;
    composeRow->addWidget(m_compose);
    composeRow->addStretch();
    a->addLayout(composeRow);
    auto* buttons = new QHBoxLayout;
    auto* importButton = new QPushButton(text("settings.actions.import"), authoring);
    importButton->setObjectName(QStringLiteral("import"));
    auto* pasteButton = new QPushButton(text("settings.actions.paste"), authoring);
    pasteButton->setObjectName(QStringLiteral("paste"));
    m_export = new QPushButton(text("settings.actions.export"), authoring);
    m_export->setObjectName(QStringLiteral("export"));
    buttons->addWidget(importButton);
    buttons->addWidget(pasteButton);
    buttons->addWidget(m_export);
    buttons->addStretch();
    a->addLayout(buttons);
    a->addWidget(footer(text("settings.actions.formatHint"), authoring));
    outer->addWidget(authoring);

    auto* library = new QGroupBox(this);
    auto* l = new QVBoxLayout(library);
    auto* link = new QPushButton(ViewStyle::symbol(QStringLiteral("square.grid.2x2")), text("settings.actions.library"), library);
    link->setObjectName(QStringLiteral("library"));
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); border: none; text-align: left; }"));
    l->addWidget(link);
    l->addWidget(footer(text("settings.actions.library.hint"), library));
    outer->addWidget(library);
    outer->addStretch();

    connect(m_compose, &QPushButton::clicked, this, &AIActionSettingsView::compose);
    connect(importButton, &QPushButton::clicked, this, &AIActionSettingsView::import);
    connect(pasteButton, &QPushButton::clicked, this, &AIActionSettingsView::paste);
    connect(m_export, &QPushButton::clicked, this, &AIActionSettingsView::exportActions);
    connect(link, &QPushButton::clicked, this, [this] {
        if (m_environment.workspace)
            m_environment.workspace->openURL(LibraryLink::url());
    });

    for (auto signal : {&AIViewModel::customActionsChanged, &AIViewModel::hasStoredKeyChanged, &AIViewModel::providerIDChanged})
        connect(&m_ai, signal, this, &AIActionSettingsView::rebuild);
    rebuild();
}

void AIActionSettingsView::rebuild()
{
    clear(m_builtIn);
    bool anyBuiltIn = false;
    for (const AIActionTemplate& t : AIActionTemplate::builtIns()) {
        if (t.scope != m_scope)
            continue;
        anyBuiltIn = true;
        m_builtIn->addWidget(new AIActionRow(AIProvidersStrings::string(t.titleKey), t.symbolName, {}, this));
    }
    if (!anyBuiltIn)
        m_builtIn->addWidget(secondary(text("settings.actions.noneBuiltIn"), this, QStringLiteral("noneBuiltIn")));

    clear(m_custom);
    bool anyCustom = false;
    for (const AIActionTemplate& t : m_ai.customActions()) {
        if (t.scope != m_scope)
            continue;
        anyCustom = true;
        AIActionRow::Handlers handlers{
            .onRename = [this, t](const QString& title) { return m_ai.renameCustomAction(t, title); },
            .onInspect = [this, t] { inspect(t); },
            // Removed at once: a plug-in can be imported again.
            .onRemove = [this, t] { QMetaObject::invokeMethod(this, [this, t] { m_ai.removeCustomAction(t); }, Qt::QueuedConnection); },
        };
        m_custom->addWidget(new AIActionRow(t.titleKey, t.symbolName, std::move(handlers), this));
    }
    if (!anyCustom)
        m_custom->addWidget(secondary(text("settings.actions.none"), this, QStringLiteral("none")));

    m_compose->setEnabled(m_ai.hasStoredKey()
                          || AIProviderDescriptor::descriptor(m_ai.providerID()).id == AIProviderID::ollama);
    m_export->setEnabled(!m_ai.customActions().isEmpty());
}

void AIActionSettingsView::showAlert(const QString& title, const QString& message)
{
    if (m_environment.alert) {
        m_environment.alert(this, title, message);
        return;
    }
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, this);
    box.addButton(text("plugin.import.ok"), QMessageBox::AcceptRole);
    box.exec();
}

void AIActionSettingsView::compose()
{
    AIActionComposerView composer(m_ai, [this](bool byHand) {
        if (m_environment.pluginAdded)
            m_environment.pluginAdded(byHand ? PluginSource::writtenByHand : PluginSource::composedByModel);
    }, this);
    composer.exec();
}

void AIActionSettingsView::paste()
{
    PluginPasteView view(m_ai, {.initialSource = {}, .pasteboard = m_environment.pasteboard, .onFinish = {},
                                .onAdded = [this] {
                                    if (m_environment.pluginAdded)
                                        m_environment.pluginAdded(PluginSource::pasted);
                                }},
                         this);
    view.exec();
}

void AIActionSettingsView::import()
{
    const QString path = m_environment.chooseImportFile
        ? m_environment.chooseImportFile(this)
        : QFileDialog::getOpenFileName(this, text("settings.actions.import"), QString(),
                                       QStringLiteral("Ambrel (*.ambrel *.ambrel-actions *.yaml *.yml *.json *.txt);;* (*)"));
    if (path.isEmpty())
        return;
    const auto imported = m_ai.importPlugin(path);
    if (!imported) {
        showAlert(text("plugin.import.failed"), AIViewModel::describeImportFailure(imported.error()));
        return;
    }
    if (m_environment.pluginAdded)
        m_environment.pluginAdded(PluginSource::importedFile);
}

void AIActionSettingsView::exportActions()
{
    ActionExportView chooser(m_ai.customActions(), [this](const PluginManifest& manifest) { m_exportManifest = manifest; },
                             this);
    if (chooser.exec() == QDialog::Accepted && m_exportManifest)
        writeExport(*m_exportManifest);
}

void AIActionSettingsView::writeExport(const PluginManifest& manifest)
{
    QString path = m_environment.chooseExportFile
        ? m_environment.chooseExportFile(this, exportFileName)
        : QFileDialog::getSaveFileName(this, text("settings.actions.export"),
                                       exportFileName + u'.' + PluginManifest::fileExtension,
                                       QStringLiteral("Ambrel (*.ambrel)"));
    if (path.isEmpty())
        return;
    const auto written = PluginDocument{manifest}.writeFile(path);
    // A file that could not be written is said, never passed over as saved.
    if (!written)
        showAlert(text("settings.actions.export"), text("export.failed").arg(written.error()));
}

void AIActionSettingsView::inspect(const AIActionTemplate& action)
{
    ActionInspectorView inspector(m_ai, action, this);
    inspector.exec();
}
