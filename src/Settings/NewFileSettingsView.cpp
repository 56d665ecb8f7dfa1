#include "Settings/NewFileSettingsView.h"

#include "LocalActions/Files/FileNameVariables.h"
#include "LocalActions/LocalActionsStrings.h"
#include "Settings/SettingsForm.h"
#include "Settings/ShortcutRecorder.h"
#include "ViewStyle/ViewStyle.h"

#include <QCalendar>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using SettingsForm::text;

namespace {

const QString customPreset = QStringLiteral("custom");

QStringList pickFiles(QWidget* parent)
{
    return QFileDialog::getOpenFileNames(parent, text(QStringLiteral("settings.newFile.addTemplate")));
}

} // namespace

NewFileSettingsView::NewFileSettingsView(SettingsModel& model, Chooser chooser, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_chooser(chooser ? std::move(chooser) : Chooser(pickFiles))
{
    QVBoxLayout* column = ViewStyle::preparePage(this, QStringLiteral("NewFileSettingsView"));
    QWidget* content = widget();

    // 1: naming
    auto* body = SettingsForm::addSection(column, QStringLiteral("settings.newFile.naming"), QStringLiteral("settings.newFile.preview"),
                                          nullptr, QStringLiteral(" "));
    m_preview = content->findChild<QLabel*>(QStringLiteral("settings.newFile.preview"));
    auto* presetRow = new QHBoxLayout;
    presetRow->addWidget(new QLabel(text(QStringLiteral("settings.newFile.preset")), content));
    presetRow->addStretch(1);
    m_preset = new QComboBox(content);
    m_preset->setObjectName(QStringLiteral("settings.newFile.preset"));
    for (auto preset : FileNameVariables::allPresets)
        m_preset->addItem(LocalActionsStrings::string(FileNameVariables::titleKey(preset)), FileNameVariables::toRaw(preset));
    presetRow->addWidget(m_preset);
    body->addLayout(presetRow);
    connect(m_preset, &QComboBox::activated, this, [this](int index) {
        // The custom option stands for the pattern as it is: choosing it writes nothing.
        if (const auto preset = FileNameVariables::presetFromRaw(m_preset->itemData(index).toString()))
            setPattern(FileNameVariables::pattern(*preset));
    });

    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(new QLabel(text(QStringLiteral("settings.newFile.baseName")), content));
    m_pattern = new QLineEdit(content);
    m_pattern->setObjectName(QStringLiteral("settings.newFile.baseName"));
    m_pattern->setPlaceholderText(LocalActionsStrings::string(QStringLiteral("newFile.defaultName")));
    patternRow->addWidget(m_pattern, 1);
    body->addLayout(patternRow);
    connect(m_pattern, &QLineEdit::textEdited, this, &NewFileSettingsView::setPattern);

    auto* variablesLabel = ViewStyle::secondary(text(QStringLiteral("settings.newFile.variables")), content, 0.95);
    body->addWidget(variablesLabel);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    int i = 0;
    for (auto token : FileNameVariables::allTokens) {
        const QString placeholder = FileNameVariables::toRaw(token);
        auto* button = new QPushButton(content);
        button->setObjectName(placeholder);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(ViewStyle::calloutFont());
        button->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 2px 6px; border: none; }"
                                             "QPushButton:hover { background: palette(alternate-base); border-radius: 4px; }"));
        connect(button, &QPushButton::clicked, this,
                [this, placeholder] { setPattern(m_model.menuPreferences().newFileBaseName + placeholder); });
        m_variables.insert(placeholder, button);
        grid->addWidget(button, i / 2, i % 2);
        ++i;
    }
    body->addLayout(grid);

    // 2: grouping
    body = SettingsForm::addSection(column, {}, QStringLiteral("settings.newFile.grouped.hint"));
    m_grouped = new QCheckBox(text(QStringLiteral("settings.newFile.grouped")), content);
    m_grouped->setObjectName(QStringLiteral("settings.newFile.grouped"));
    body->addWidget(m_grouped);
    connect(m_grouped, &QCheckBox::toggled, this, [this](bool on) {
        FinderMenuPreferences menu = m_model.menuPreferences();
        menu.groupsFileTemplates = on;
        m_model.setMenuPreferences(menu);
    });

    // 3: the shortcut
    body = SettingsForm::addSection(column, {}, QStringLiteral("settings.newFile.shortcut.hint"));
    auto* shortcutRow = new QHBoxLayout;
    shortcutRow->addWidget(new QLabel(text(QStringLiteral("settings.newFile.shortcut")), content));
    shortcutRow->addStretch(1);
    m_recorder = new ShortcutRecorder({.get = [this] { return m_model.newFileShortcut(); },
                                       .set = [this](const auto& c) { m_model.setNewFileShortcut(c); },
                                       .wasRefused = [this] { return m_model.newFileShortcutRefused(); }},
                                      content);
    shortcutRow->addWidget(m_recorder);
    body->addLayout(shortcutRow);

    // 4: the templates
    m_templates = SettingsForm::addSection(column, QStringLiteral("settings.newFile.templates"), {});

    // 5: importing
    body = SettingsForm::addSection(column, {}, QStringLiteral("settings.newFile.addTemplate.hint"));
    auto* buttons = new QHBoxLayout;
    m_add = new QPushButton(text(QStringLiteral("settings.newFile.addTemplate")), content);
    m_add->setObjectName(QStringLiteral("settings.newFile.addTemplate"));
    buttons->addWidget(m_add);
    m_removeCustom = new QPushButton(text(QStringLiteral("settings.newFile.removeCustomTemplates")), content);
    m_removeCustom->setObjectName(QStringLiteral("settings.newFile.removeCustomTemplates"));
    QPalette destructive = m_removeCustom->palette();
    destructive.setColor(QPalette::ButtonText, QColor(0xc0, 0x1c, 0x28));
    m_removeCustom->setPalette(destructive);
    buttons->addWidget(m_removeCustom);
    buttons->addStretch(1);
    body->addLayout(buttons);
    m_problems = new QLabel(content);
    m_problems->setObjectName(QStringLiteral("importProblems"));
    m_problems->setWordWrap(true);
    m_problems->setTextFormat(Qt::PlainText);
    QPalette warning = m_problems->palette();
    warning.setColor(QPalette::WindowText, ViewStyle::orange());
    m_problems->setPalette(warning);
    m_problems->hide();
    body->addWidget(m_problems);
    connect(m_add, &QPushButton::clicked, this, [this] { addTemplates(m_chooser(this)); });
    connect(m_removeCustom, &QPushButton::clicked, this, [this] {
        // The list entries only: the copied files stay in the templates folder.
        FinderMenuPreferences menu = m_model.menuPreferences();
        menu.customTemplates.clear();
        m_model.setMenuPreferences(menu);
    });
    column->addStretch(1);

    connect(&model.settingsNotifier(), &SettingsNotifier::changed, this, &NewFileSettingsView::refresh);
    refresh();
}

void NewFileSettingsView::setPattern(const QString& pattern)
{
    FinderMenuPreferences menu = m_model.menuPreferences();
    menu.newFileBaseName = pattern;
    m_model.setMenuPreferences(menu);
}

QString NewFileSettingsView::previewName() const
{
    const QString pattern = m_model.menuPreferences().newFileBaseName;
    const QString shown = pattern.isEmpty() ? LocalActionsStrings::string(QStringLiteral("newFile.defaultName")) : pattern;
    return FileNameVariables::expand(shown, QDateTime::currentDateTime(), QCalendar(QCalendar::System::Gregorian));
}

void NewFileSettingsView::addTemplates(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const auto failures = m_model.importTemplates(paths);
    QStringList lines;
    for (const auto& failure : failures)
        lines << text(TemplateImport::messageKey(failure.failure)).arg(failure.fileName);
    m_problems->setText(lines.join(u'\n'));
    m_problems->setVisible(!lines.isEmpty());
}

void NewFileSettingsView::refresh()
{
    const auto& menu = m_model.menuPreferences();
    const QString pattern = menu.newFileBaseName;
    {
        const QSignalBlocker block(m_preset);
        // The extra option exists only while the pattern matches no preset.
        const int custom = m_preset->findData(customPreset);
        const auto matching = FileNameVariables::matching(pattern);
        if (matching) {
            if (custom >= 0)
                m_preset->removeItem(custom);
            m_preset->setCurrentIndex(m_preset->findData(FileNameVariables::toRaw(*matching)));
        } else {
            if (custom < 0)
                m_preset->addItem(text(QStringLiteral("settings.newFile.preset.custom")), customPreset);
            m_preset->setCurrentIndex(m_preset->findData(customPreset));
        }
    }
    if (m_pattern->text() != pattern)
        m_pattern->setText(pattern);
    const QDateTime now = QDateTime::currentDateTime();
    for (auto token : FileNameVariables::allTokens) {
        const QString placeholder = FileNameVariables::toRaw(token);
        m_variables.value(placeholder)->setText(placeholder + QStringLiteral("   ") + FileNameVariables::example(token, now));
    }
    m_preview->setText(text(QStringLiteral("settings.newFile.preview")).arg(previewName()));
    {
        const QSignalBlocker block(m_grouped);
        m_grouped->setChecked(menu.groupsFileTemplates);
    }
    m_removeCustom->setVisible(!menu.customTemplates.isEmpty());
    m_recorder->refresh();
    rebuildTemplates();
}

void NewFileSettingsView::rebuildTemplates()
{
    const auto& menu = m_model.menuPreferences();
    const QList<FileTemplate> all = menu.allTemplates();
    QStringList ids;
    for (const auto& t : all)
        ids << t.id;
    if (ids != m_templateOrder) {
        for (QWidget* w : std::as_const(m_templateWidgets)) {
            m_templates->removeWidget(w);
            w->hide();
            w->deleteLater();
        }
        m_templateWidgets.clear();
        m_templateSwitches.clear();
        m_templateOrder = ids;
        for (const FileTemplate& t : all) {
            auto* row = new QWidget(m_templates->parentWidget());
            row->setObjectName(t.id);
            auto* layout = new QHBoxLayout(row);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(8);
            auto* symbol = ViewStyle::symbolLabel(t.symbolName, 16, ViewStyle::secondaryColor(), row);
            symbol->setFixedWidth(22);
            layout->addWidget(symbol);
            // A built-in title is looked up; the user's own is shown as it stands.
            auto* title = new QLabel(t.isBuiltIn ? LocalActionsStrings::string(t.titleKey) : t.titleKey, row);
            title->setTextFormat(Qt::PlainText);
            layout->addWidget(title);
            layout->addStretch(1);
            auto* extension = new QLabel(u'.' + t.fileExtension, row);
            extension->setObjectName(QStringLiteral("extension"));
            QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            mono.setPointSizeF(ViewStyle::captionFont().pointSizeF());
            extension->setFont(mono);
            extension->setForegroundRole(QPalette::PlaceholderText);
            layout->addWidget(extension);
            auto* toggle = new QCheckBox(row);
            toggle->setAccessibleName(title->text());
            layout->addWidget(toggle);
            const QString id = t.id;
            connect(toggle, &QCheckBox::toggled, this, [this, id](bool on) {
                FinderMenuPreferences m = m_model.menuPreferences();
                if (on)
                    m.disabledTemplateIDs.remove(id);
                else
                    m.disabledTemplateIDs.insert(id);
                m_model.setMenuPreferences(m);
            });
            m_templates->addWidget(row);
            m_templateWidgets << row;
            m_templateSwitches.insert(id, toggle);
        }
    }
    for (auto it = m_templateSwitches.begin(); it != m_templateSwitches.end(); ++it) {
        const QSignalBlocker block(it.value());
        it.value()->setChecked(menu.isTemplateEnabled(it.key()));
    }
}
