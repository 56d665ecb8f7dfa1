#include "AI/AIProviderSections.h"

#include "AI/AIStrings.h"
#include "AI/AIViewModel.h"
#include "AIProviders/AIProvidersStrings.h"
#include "ContextCore/TranslationService.h"
#include "ViewStyle/ViewStyle.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return AIStrings::string(QString::fromLatin1(key));
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* hint(const QString& s, QWidget* parent, const QString& name)
{
    auto* label = new QLabel(s, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setFont(ViewStyle::calloutFont());
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A row of a caption and a control.
QWidget* row(const QString& caption, QWidget* control, QWidget* parent)
{
    auto* w = new QWidget(parent);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(caption, w);
    label->setMinimumWidth(140);
    layout->addWidget(label);
    control->setParent(w);
    layout->addWidget(control, 1);
    return w;
}

QProgressBar* spinner(QWidget* parent, const QString& name)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(48, 8);
    return bar;
}

// Without a host's look: a bold title over a framed body.
QVBoxLayout* plainSection(QVBoxLayout* column, const QString& title, QWidget* beside)
{
    QWidget* parent = column->parentWidget();
    if (!title.isEmpty() || beside) {
        auto* heading = new QHBoxLayout;
        auto* label = new QLabel(title, parent);
        QFont font = label->font();
        font.setWeight(QFont::DemiBold);
        label->setFont(font);
        heading->addWidget(label);
        if (beside)
            heading->addWidget(beside);
        heading->addStretch(1);
        column->addLayout(heading);
    }
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* body = new QVBoxLayout(frame);
    column->addWidget(frame);
    column->addSpacing(16);
    return body;
}

void setItems(QComboBox* combo, const QList<std::pair<QString, QString>>& items, const QString& current)
{
    const QSignalBlocker block(combo);
    bool same = combo->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = combo->itemData(i).toString() == items[i].first && combo->itemText(i) == items[i].second;
    if (!same) {
        combo->clear();
        for (const auto& [tag, title] : items)
            combo->addItem(title, tag);
    }
    // A choice that matches no option shows none.
    combo->setCurrentIndex(combo->findData(current));
}

} // namespace

AIProviderSections::AIProviderSections(AIViewModel& ai, std::shared_ptr<Platform::UserDefaults> defaults,
                                       std::function<void()> onOutputLanguageChange, Look look, QWidget* parent)
    : QWidget(parent)
    , m_ai(ai)
    , m_defaults(std::move(defaults))
    , m_onOutputLanguageChange(std::move(onOutputLanguageChange))
{
    setObjectName(QStringLiteral("aiProviderSections"));
    // Flush with the page's other sections: the host's column already keeps the margins.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    const auto addSection = look.addSection ? look.addSection : plainSection;

    // The service.
    QVBoxLayout* s = addSection(outer, text("settings.ai.service"), look.helpLink ? look.helpLink(this) : nullptr);
    QWidget* service = s->parentWidget();
    service->setObjectName(QStringLiteral("serviceSection"));

    m_provider = new QComboBox;
    m_provider->setObjectName(QStringLiteral("provider"));
    for (const AIProviderDescriptor& d : AIProviderDescriptor::all())
        m_provider->addItem(AIProvidersStrings::string(d.displayNameKey), toRaw(d.id));
    s->addWidget(row(text("settings.ai.provider"), m_provider, service));
    connect(m_provider, &QComboBox::activated, this, [this](int index) {
        if (const auto id = fromRaw<AIProviderID>(m_provider->itemData(index).toString()))
            m_ai.selectProvider(*id);
    });

    m_region = new QComboBox;
    m_region->setObjectName(QStringLiteral("region"));
    m_regionRow = row(text("settings.ai.region"), m_region, service);
    s->addWidget(m_regionRow);
    connect(m_region, &QComboBox::activated, this,
            [this](int index) { m_ai.setRegionID(m_region->itemData(index).toString()); });

    m_endpoint = new QLineEdit;
    m_endpoint->setObjectName(QStringLiteral("endpoint"));
    m_endpoint->setPlaceholderText(QStringLiteral("https://api.example.com/v1"));
    m_endpointRow = row(text("settings.ai.endpoint"), m_endpoint, service);
    s->addWidget(m_endpointRow);
    connect(m_endpoint, &QLineEdit::textEdited, this, [this](const QString& t) { m_ai.setCustomEndpoint(t); });

    m_ollamaHint = hint(text("settings.ai.ollama.hint"), service, QStringLiteral("ollamaHint"));
    s->addWidget(m_ollamaHint);

    m_signInBlock = new QWidget(service);
    {
        auto* b = new QVBoxLayout(m_signInBlock);
        b->setContentsMargins(0, 0, 0, 0);
        b->addWidget(divider(m_signInBlock));
        auto* line = new QHBoxLayout;
        m_signIn = new QPushButton(text("settings.ai.signIn"), m_signInBlock);
        m_signIn->setObjectName(QStringLiteral("signIn"));
        line->addWidget(m_signIn);
        m_signInWaiting = new QWidget(m_signInBlock);
        auto* waiting = new QHBoxLayout(m_signInWaiting);
        waiting->setContentsMargins(0, 0, 0, 0);
        waiting->setSpacing(6);
        waiting->addWidget(spinner(m_signInWaiting, QStringLiteral("signInWaitingProgress")));
        waiting->addWidget(hint(text("settings.ai.signIn.waiting"), m_signInWaiting, QStringLiteral("signInWaitingText")));
        auto* cancel = new QPushButton(text("settings.ai.signIn.cancel"), m_signInWaiting);
        cancel->setObjectName(QStringLiteral("signInCancel"));
        cancel->setFlat(true);
        waiting->addWidget(cancel);
        line->addWidget(m_signInWaiting);
        m_signInProgress = spinner(m_signInBlock, QStringLiteral("signInProgress"));
        line->addWidget(m_signInProgress);
        m_signInStatusIcon = new QLabel(m_signInBlock);
        m_signInStatus = new QLabel(m_signInBlock);
        m_signInStatus->setObjectName(QStringLiteral("signInStatus"));
        line->addWidget(m_signInStatusIcon);
        line->addWidget(m_signInStatus);
        line->addStretch();
        b->addLayout(line);
        b->addWidget(hint(text("settings.ai.signIn.hint"), m_signInBlock, QStringLiteral("signInHint")));
        connect(m_signIn, &QPushButton::clicked, this, [this] { m_ai.signIn().start(); });
        connect(cancel, &QPushButton::clicked, this, [this] { m_ai.signIn().cancel(); });
    }
    s->addWidget(m_signInBlock);

    m_keyBlock = new QWidget(service);
    {
        auto* b = new QVBoxLayout(m_keyBlock);
        b->setContentsMargins(0, 0, 0, 0);
        b->addWidget(divider(m_keyBlock));
        b->addWidget(new QLabel(text("settings.ai.apiKey"), m_keyBlock));
        m_key = new QLineEdit(m_keyBlock);
        m_key->setObjectName(QStringLiteral("apiKey"));
        m_key->setEchoMode(QLineEdit::Password);
        m_key->setAccessibleName(text("settings.ai.apiKey"));
        b->addWidget(m_key);
        auto* line = new QHBoxLayout;
        m_saveKey = new QPushButton(text("settings.ai.saveKey"), m_keyBlock);
        m_saveKey->setObjectName(QStringLiteral("saveKey"));
        // Return in the field does not save: only the button does.
        m_saveKey->setAutoDefault(false);
        line->addWidget(m_saveKey);
        m_keyStored = new QWidget(m_keyBlock);
        m_keyStored->setObjectName(QStringLiteral("keyStored"));
        auto* stored = new QHBoxLayout(m_keyStored);
        stored->setContentsMargins(0, 0, 0, 0);
        auto* icon = new QLabel(m_keyStored);
        auto* label = new QLabel(m_keyStored);
        ViewStyle::setStatus(icon, label, text("settings.ai.keyStored"), ViewStyle::Status::success);
        stored->addWidget(icon);
        stored->addWidget(label);
        line->addWidget(m_keyStored);
        line->addStretch();
        b->addLayout(line);
        // Why the keyring did not keep (or remove) a key; long, so on a line of its own.
        auto* problem = new QHBoxLayout;
        m_keyProblemIcon = new QLabel(m_keyBlock);
        m_keyProblemIcon->setAlignment(Qt::AlignTop);
        m_keyProblem = new QLabel(m_keyBlock);
        m_keyProblem->setObjectName(QStringLiteral("keyProblem"));
        m_keyProblem->setWordWrap(true);
        m_keyProblem->setFont(ViewStyle::calloutFont());
        problem->addWidget(m_keyProblemIcon);
        problem->addWidget(m_keyProblem, 1);
        b->addLayout(problem);
        b->addWidget(hint(text("settings.ai.privacyNote"), m_keyBlock, QStringLiteral("privacyNote")));
        connect(m_key, &QLineEdit::textEdited, this, [this](const QString& t) { m_ai.setPendingKey(t); });
        connect(m_saveKey, &QPushButton::clicked, this, [this] { m_ai.saveKey(); });
    }
    s->addWidget(m_keyBlock);
    s->addWidget(divider(service));

    m_freeModel = new QWidget(service);
    {
        auto* b = new QVBoxLayout(m_freeModel);
        b->setContentsMargins(0, 0, 0, 0);
        m_modelName = new QLineEdit;
        m_modelName->setObjectName(QStringLiteral("modelName"));
        b->addWidget(row(text("settings.ai.modelName"), m_modelName, m_freeModel));
        m_knownModels = new QComboBox;
        m_knownModels->setObjectName(QStringLiteral("knownModels"));
        m_knownModelsRow = row(text("settings.ai.knownModels"), m_knownModels, m_freeModel);
        b->addWidget(m_knownModelsRow);
        auto* fetch = new QPushButton(text("settings.ai.fetchModels"), m_freeModel);
        fetch->setObjectName(QStringLiteral("fetchModels"));
        fetch->setAutoDefault(false);
        auto* line = new QHBoxLayout;
        line->addWidget(fetch);
        line->addStretch();
        b->addLayout(line);
        connect(m_modelName, &QLineEdit::textEdited, this, [this](const QString& t) { m_ai.setModelID(t); });
        connect(m_knownModels, &QComboBox::activated, this,
                [this](int index) { m_ai.setModelID(m_knownModels->itemData(index).toString()); });
        connect(fetch, &QPushButton::clicked, this, [this] { m_ai.refreshModels(); });
    }
    s->addWidget(m_freeModel);
    m_presetModel = new QComboBox;
    m_presetModel->setObjectName(QStringLiteral("model"));
    m_presetRow = row(text("settings.ai.model"), m_presetModel, service);
    s->addWidget(m_presetRow);
    connect(m_presetModel, &QComboBox::activated, this,
            [this](int index) { m_ai.setModelID(m_presetModel->itemData(index).toString()); });
    s->addWidget(divider(service));

    {
        auto* line = new QHBoxLayout;
        auto* test = new QPushButton(text("settings.ai.test"), service);
        test->setObjectName(QStringLiteral("test"));
        test->setAutoDefault(false);
        line->addWidget(test);
        m_testProgress = spinner(service, QStringLiteral("testProgress"));
        line->addWidget(m_testProgress);
        m_connectionIcon = new QLabel(service);
        m_connectionStatus = new QLabel(service);
        m_connectionStatus->setObjectName(QStringLiteral("connectionStatus"));
        m_connectionStatus->setWordWrap(true);
        line->addWidget(m_connectionIcon);
        line->addWidget(m_connectionStatus, 1);
        // The button keeps its own width while no status stands beside it.
        line->addStretch();
        s->addLayout(line);
        connect(test, &QPushButton::clicked, this, [this] { m_ai.testConnection(); });
    }

    // The answer language.
    QVBoxLayout* l = addSection(outer, QString(), nullptr);
    QWidget* language = l->parentWidget();
    language->setObjectName(QStringLiteral("languageSection"));
    m_outputLanguage = new QComboBox;
    m_outputLanguage->setObjectName(QStringLiteral("outputLanguage"));
    m_outputLanguage->addItem(text("settings.ai.outputLanguage.selection"), QStringLiteral("selection"));
    m_outputLanguage->addItem(text("settings.ai.outputLanguage.interface"), QStringLiteral("interface"));
    for (const TranslationTarget& target : TranslationTarget::all())
        m_outputLanguage->addItem(target.displayName, target.id);
    m_outputLanguage->setCurrentIndex(
        m_outputLanguage->findData(m_defaults->stringValue(outputLanguageKey).value_or(QStringLiteral("selection"))));
    l->addWidget(row(text("settings.ai.outputLanguage"), m_outputLanguage, language));
    connect(m_outputLanguage, &QComboBox::activated, this, [this](int index) {
        const QString value = m_outputLanguage->itemData(index).toString();
        if (m_defaults->stringValue(outputLanguageKey) == value)
            return;
        m_defaults->setString(outputLanguageKey, value);
        if (m_onOutputLanguageChange)
            m_onOutputLanguageChange();
    });

    // Removal of every key.
    QVBoxLayout* removalBody = addSection(outer, QString(), nullptr);
    QWidget* removal = removalBody->parentWidget();
    auto* r = new QHBoxLayout;
    removalBody->addLayout(r);
    auto* clear = new QPushButton(text("settings.ai.clearCredentials"), removal);
    clear->setObjectName(QStringLiteral("clearCredentials"));
    clear->setAutoDefault(false);
    clear->setStyleSheet(QStringLiteral("QPushButton { color: #c0392b; }"));
    r->addWidget(clear);
    r->addStretch();
    auto* removalProblem = new QHBoxLayout;
    m_removalProblemIcon = new QLabel(removal);
    m_removalProblemIcon->setAlignment(Qt::AlignTop);
    m_removalProblem = new QLabel(removal);
    m_removalProblem->setObjectName(QStringLiteral("removalProblem"));
    m_removalProblem->setWordWrap(true);
    m_removalProblem->setFont(ViewStyle::calloutFont());
    removalProblem->addWidget(m_removalProblemIcon);
    removalProblem->addWidget(m_removalProblem, 1);
    removalBody->addLayout(removalProblem);
    connect(clear, &QPushButton::clicked, this, [this] { m_ai.clearCredentials(); });
    outer->addStretch();

    for (auto signal : {&AIViewModel::providerIDChanged, &AIViewModel::regionIDChanged, &AIViewModel::modelIDChanged,
                        &AIViewModel::customEndpointChanged, &AIViewModel::pendingKeyChanged,
                        &AIViewModel::hasStoredKeyChanged, &AIViewModel::keyProblemChanged,
                        &AIViewModel::connectionChanged,
                        &AIViewModel::availableModelsChanged})
        connect(&m_ai, signal, this, &AIProviderSections::refresh);
    connect(&m_ai.signIn(), &OpenRouterSignIn::stateChanged, this, &AIProviderSections::refresh);
    refresh();
}

void AIProviderSections::refresh()
{
    const AIProviderDescriptor& descriptor = AIProviderDescriptor::descriptor(m_ai.providerID());
    {
        const QSignalBlocker block(m_provider);
        m_provider->setCurrentIndex(m_provider->findData(toRaw(m_ai.providerID())));
    }

    m_regionRow->setVisible(descriptor.regions.size() >= 2);
    QList<std::pair<QString, QString>> regions;
    for (const AIRegion& region : descriptor.regions)
        regions.append({region.id, AIProvidersStrings::string(region.displayNameKey)});
    setItems(m_region, regions, m_ai.regionID());

    m_endpointRow->setVisible(descriptor.id == AIProviderID::openAICompatible);
    if (m_endpoint->text() != m_ai.customEndpoint())
        m_endpoint->setText(m_ai.customEndpoint());
    m_ollamaHint->setVisible(descriptor.id == AIProviderID::ollama);

    using SignIn = OpenRouterSignIn::State::Kind;
    const OpenRouterSignIn::State& signIn = m_ai.signIn().state();
    m_signInBlock->setVisible(descriptor.supportsOAuth);
    m_signIn->setEnabled(signIn.kind != SignIn::waiting && signIn.kind != SignIn::exchanging);
    m_signInWaiting->setVisible(signIn.kind == SignIn::waiting);
    m_signInProgress->setVisible(signIn.kind == SignIn::exchanging);
    if (signIn.kind == SignIn::signedIn)
        ViewStyle::setStatus(m_signInStatusIcon, m_signInStatus, AIStrings::string(QStringLiteral("settings.ai.signIn.done")),
                             ViewStyle::Status::success);
    else if (signIn.kind == SignIn::failed)
        ViewStyle::setStatus(m_signInStatusIcon, m_signInStatus, AIStrings::string(signIn.messageKey),
                             ViewStyle::Status::problem);
    else
        ViewStyle::setStatus(m_signInStatusIcon, m_signInStatus, {}, ViewStyle::Status::none);

    m_keyBlock->setVisible(descriptor.id != AIProviderID::ollama);
    if (m_key->text() != m_ai.pendingKey())
        m_key->setText(m_ai.pendingKey());
    m_saveKey->setEnabled(!m_ai.pendingKey().isEmpty());
    m_keyStored->setVisible(m_ai.hasStoredKey());
    // A refused store is told beside the key, a refused removal beside its button.
    const auto& problem = m_ai.keyProblem();
    const bool removalFailed = problem && problem->act == AIViewModel::KeyProblem::Act::removal;
    const QString problemText = problem ? AIViewModel::describeKeyProblem(*problem) : QString();
    ViewStyle::setStatus(m_keyProblemIcon, m_keyProblem, removalFailed ? QString() : problemText,
                         problem && !removalFailed ? ViewStyle::Status::problem : ViewStyle::Status::none);
    ViewStyle::setStatus(m_removalProblemIcon, m_removalProblem, removalFailed ? problemText : QString(),
                         removalFailed ? ViewStyle::Status::problem : ViewStyle::Status::none);

    const bool free = descriptor.presetModels.isEmpty();
    m_freeModel->setVisible(free);
    m_presetRow->setVisible(!free);
    if (m_modelName->text() != m_ai.modelID())
        m_modelName->setText(m_ai.modelID());
    QList<std::pair<QString, QString>> known;
    for (const AIModelOption& model : m_ai.availableModels())
        known.append({model.id, model.id});
    setItems(m_knownModels, known, m_ai.modelID());
    m_knownModelsRow->setVisible(!known.isEmpty());
    QList<std::pair<QString, QString>> presets;
    for (const AIModelOption& model : descriptor.presetModels)
        presets.append({model.id, AIProvidersStrings::string(model.summaryKey)});
    setItems(m_presetModel, presets, m_ai.modelID());

    using Connection = AIViewModel::ConnectionState::Kind;
    const auto& connection = m_ai.connection();
    m_testProgress->setVisible(connection.kind == Connection::checking);
    if (connection.kind == Connection::working)
        ViewStyle::setStatus(m_connectionIcon, m_connectionStatus, AIStrings::string(QStringLiteral("settings.ai.test.ok")),
                             ViewStyle::Status::success);
    else if (connection.kind == Connection::failed && connection.error)
        ViewStyle::setStatus(m_connectionIcon, m_connectionStatus, AIProvidersStrings::string(connection.error->messageKey()),
                             ViewStyle::Status::problem);
    else
        ViewStyle::setStatus(m_connectionIcon, m_connectionStatus, {}, ViewStyle::Status::none);
}
