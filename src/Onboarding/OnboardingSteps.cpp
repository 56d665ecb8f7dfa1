#include "Onboarding/OnboardingSteps.h"

#include "Settings/PermissionAccess.h"
#include "Settings/SettingsForm.h"
#include "Settings/SettingsModel.h"
#include "System/PermissionMonitor.h"
#include "ViewStyle/ViewStyle.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

using SettingsForm::text;

namespace {

// A column of the given spacing and at most the given width, centred in the page.
QVBoxLayout* centredColumn(QWidget* page, int spacing, int maxWidth, bool verticallyCentred = true)
{
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* holder = new QWidget(page);
    holder->setMaximumWidth(maxWidth);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(holder, 100);
    row->addStretch(1);
    if (verticallyCentred)
        outer->addStretch(1);
    outer->addLayout(row);
    outer->addStretch(1);
    return column;
}

QLabel* textLabel(const QString& text, const QFont& font, QWidget* parent, bool secondary = false, bool centred = true)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    if (centred)
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QFont scaled(double factor, bool semibold = false)
{
    QFont font = ViewStyle::calloutFont();
    font.setPointSizeF(QFont().pointSizeF() * factor);
    if (semibold)
        font.setWeight(QFont::DemiBold);
    return font;
}

QFont titleFont() { return scaled(1.55, true); }

// A card-shaped button: a symbol beside a title and a detail.
QPushButton* cardButton(const QString& symbol, const QString& title, const QString& detail, const QString& badge,
                        QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setObjectName(QStringLiteral("card"));
    button->setStyleSheet(QStringLiteral("QPushButton#card { background: palette(base); border: 1px solid palette(mid);"
                                         " border-radius: 12px; text-align: left; }"
                                         "QPushButton#card:hover { border-color: palette(highlight); }"
                                         "QPushButton#card:pressed { background: palette(alternate-base); }"));
    auto* row = new QHBoxLayout(button);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(14);
    auto* icon = ViewStyle::symbolLabel(symbol, 24, ViewStyle::accent(), button);
    icon->setFixedWidth(32);
    icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    auto* titleLabel = textLabel(title, scaled(1.05, true), button, false, false);
    // A wrapping label beside a stretch is laid out at a guessed width and breaks a short title
    // early; the titles are a few words, so they keep one line.
    titleLabel->setWordWrap(false);
    titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    titleRow->addWidget(titleLabel);
    if (!badge.isEmpty()) {
        auto* b = new QLabel(badge, button);
        b->setObjectName(QStringLiteral("badge"));
        QFont f = ViewStyle::captionFont();
        f.setWeight(QFont::DemiBold);
        b->setFont(f);
        QColor fill = ViewStyle::accent();
        fill.setAlphaF(0.15);
        b->setStyleSheet(QStringLiteral("QLabel#badge { background: %1; border-radius: 8px; padding: 2px 6px; }")
                             .arg(fill.name(QColor::HexArgb)));
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
        titleRow->addWidget(b);
    }
    titleRow->addStretch(1);
    texts->addLayout(titleRow);
    auto* detailLabel = textLabel(detail, ViewStyle::calloutFont(), button, true, false);
    detailLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    texts->addWidget(detailLabel);
    row->addLayout(texts, 1);
    button->setMinimumHeight(row->sizeHint().height());
    return button;
}

QWidget* greenLabel(const QString& text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addStretch(1);
    layout->addWidget(ViewStyle::symbolLabel(QStringLiteral("checkmark.circle.fill"), 16, ViewStyle::green(), row));
    auto* label = new QLabel(text, row);
    layout->addWidget(label);
    layout->addStretch(1);
    return row;
}

QHBoxLayout* centred(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    return row;
}

} // namespace

WelcomeStep::WelcomeStep(std::function<void()> onStart, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WelcomeStep"));
    auto* column = centredColumn(this, 20, 520);
    auto* symbol = ViewStyle::symbolLabel(QStringLiteral("cursorarrow.click.2"), 56, ViewStyle::accent(), this);
    column->addLayout(centred(symbol));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.welcome.title")), scaled(2.1, true), this));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.welcome.subtitle")), scaled(1.2), this, true));
    m_start = ViewStyle::prominentButton(text(QStringLiteral("onboarding.welcome.start")), this);
    m_start->setObjectName(QStringLiteral("onboarding.welcome.start"));
    column->addLayout(centred(m_start));
    connect(m_start, &QPushButton::clicked, this, [onStart = std::move(onStart)] { onStart(); });
}

PresetStep::PresetStep(SettingsModel& model, std::function<void()> onChoose, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PresetStep"));
    auto* column = centredColumn(this, 16, 520);
    column->addWidget(textLabel(text(QStringLiteral("onboarding.preset.title")), titleFont(), this, false, false));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.preset.subtitle")), ViewStyle::calloutFont(), this, true, false));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(10);
    const QHash<UsagePreset, QString> symbols{{UsagePreset::everyday, QStringLiteral("sparkles")},
                                              {UsagePreset::developer, QStringLiteral("chevron.left.forwardslash.chevron.right")},
                                              {UsagePreset::office, QStringLiteral("doc.text")}};
    for (UsagePreset preset : usagePresetCases) {
        const QString raw = UsagePresets::toRaw(preset);
        auto* row = cardButton(symbols.value(preset), text(QStringLiteral("preset.") + raw + QStringLiteral(".title")),
                               text(UsagePresets::detailKey(preset)), {}, this);
        row->setProperty("preset", raw);
        connect(row, &QPushButton::clicked, this, [&model, preset, onChoose] {
            model.setPreset(preset);
            onChoose();
        });
        rows->addWidget(row);
        m_rows << row;
    }
    column->addLayout(rows);
    column->addWidget(textLabel(text(QStringLiteral("onboarding.preset.reassurance")), ViewStyle::captionFont(), this, true, false));
}

QPushButton* PresetStep::row(UsagePreset preset) const
{
    return m_rows.value(int(preset));
}

PermissionStep::PermissionStep(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform,
                               std::function<void()> onContinue, QWidget* parent)
    : QWidget(parent), m_permission(permission), m_monitor(monitor), m_platform(platform)
{
    setObjectName(QStringLiteral("PermissionStep:") + toRaw(permission));
    auto* column = centredColumn(this, 18, 420);
    m_symbol = new QLabel(this);
    m_symbol->setAlignment(Qt::AlignCenter);
    column->addLayout(centred(m_symbol));
    column->addWidget(textLabel(text(titleKey(permission)), titleFont(), this));
    column->addWidget(textLabel(text(explanationKey(permission)), QFont(), this));
    m_consequence = textLabel(text(consequenceKey(permission)), ViewStyle::calloutFont(), this, true);
    m_consequence->setObjectName(QStringLiteral("consequence"));
    column->addWidget(m_consequence);
    m_granted = greenLabel(text(QStringLiteral("onboarding.permission.granted")), this);
    m_granted->setObjectName(QStringLiteral("onboarding.permission.granted"));
    column->addWidget(m_granted);
    m_continue = ViewStyle::prominentButton(text(QStringLiteral("onboarding.continue")), this);
    m_continue->setObjectName(QStringLiteral("onboarding.continue"));
    column->addLayout(centred(m_continue));
    m_open = ViewStyle::prominentButton(text(QStringLiteral("onboarding.permission.open")), this);
    m_open->setObjectName(QStringLiteral("onboarding.permission.open"));
    column->addLayout(centred(m_open));
    m_autoDetect = textLabel(text(QStringLiteral("onboarding.permission.autoDetect")), ViewStyle::captionFont(), this, true);
    column->addWidget(m_autoDetect);
    m_steps = textLabel({}, ViewStyle::calloutFont(), this, true);
    m_steps->setObjectName(QStringLiteral("steps"));
    m_steps->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_steps->hide();
    column->addWidget(m_steps);

    connect(m_continue, &QPushButton::clicked, this, [onContinue = std::move(onContinue)] { onContinue(); });
    connect(m_open, &QPushButton::clicked, this, [this] {
        // What a person expects here: Ambrel grants it where it can, otherwise the exact steps.
        const QString steps = PermissionAccess::request(m_permission, m_monitor, m_platform);
        m_steps->setText(steps);
        m_steps->setVisible(!steps.isEmpty() && !isGranted());
    });
    connect(&m_monitor, &PermissionMonitor::grantedChanged, this, &PermissionStep::refresh);
    refresh();
}

bool PermissionStep::isGranted() const
{
    return m_monitor.isGranted(m_permission);
}

void PermissionStep::refresh()
{
    const bool granted = isGranted();
    const QString symbol = granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("lock.open");
    m_symbol->setProperty("symbolName", symbol);
    m_symbol->setPixmap(ViewStyle::themedSymbol(symbol, granted ? ViewStyle::green() : ViewStyle::accent()).pixmap(44));
    // What is lost without it is no longer true once it is granted.
    m_consequence->setVisible(!granted);
    m_granted->setVisible(granted);
    m_continue->setVisible(granted);
    m_open->setVisible(!granted);
    m_autoDetect->setVisible(!granted);
    if (granted)
        m_steps->hide();
}

TryItStep::TryItStep(const QString& sample, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TryItStep"));
    auto* column = centredColumn(this, 18, 460);
    column->addWidget(textLabel(text(QStringLiteral("onboarding.tryIt.title")), titleFont(), this, false, false));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.tryIt.instruction")), ViewStyle::calloutFont(), this, true, false));
    QWidget* card = ViewStyle::card(this);
    auto* inner = new QVBoxLayout(card);
    inner->setContentsMargins(20, 20, 20, 20);
    m_sample = new QTextEdit(card);
    m_sample->setObjectName(QStringLiteral("sample"));
    m_sample->setReadOnly(true);
    m_sample->setFrameShape(QFrame::NoFrame);
    m_sample->viewport()->setAutoFillBackground(false);
    m_sample->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    m_sample->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_sample->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font;
    font.setPointSizeF(font.pointSizeF() + 4);
    m_sample->setFont(font);
    m_sample->document()->setDocumentMargin(0);
    m_sample->setPlainText(sample);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setFixedHeight(QFontMetrics(font).height() * 2 + 8);
    inner->addWidget(m_sample);
    column->addWidget(card);
    m_success = greenLabel(text(QStringLiteral("onboarding.tryIt.success")), this);
    m_success->setObjectName(QStringLiteral("onboarding.tryIt.success"));
    m_success->hide();
    column->addWidget(m_success);
}

void TryItStep::setHasTried(bool tried)
{
    m_success->setVisible(tried);
}

namespace {

QWidget* privacyChoice(const QString& titleKey, const QString& captionKey, QCheckBox** toggle, QWidget* parent)
{
    QWidget* card = ViewStyle::card(parent);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(6);
    auto* row = new QHBoxLayout;
    auto* title = new QLabel(text(titleKey), card);
    title->setWordWrap(true);
    row->addWidget(title, 1);
    row->addSpacing(12);
    *toggle = new QCheckBox(card);
    (*toggle)->setObjectName(titleKey);
    (*toggle)->setAccessibleName(title->text());
    row->addWidget(*toggle);
    column->addLayout(row);
    column->addWidget(textLabel(text(captionKey), ViewStyle::captionFont(), card, true, false));
    return card;
}

} // namespace

PrivacyStep::PrivacyStep(SettingsModel& model, std::function<void()> onContinue, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("PrivacyStep"));
    auto* column = centredColumn(this, 16, 460);
    column->addLayout(centred(ViewStyle::symbolLabel(QStringLiteral("lock.shield"), 36, ViewStyle::accent(), this)));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.privacy.title")), titleFont(), this));
    column->addWidget(privacyChoice(QStringLiteral("onboarding.privacy.exclude"), QStringLiteral("onboarding.privacy.reassurance"),
                                    &m_exclude, this));
    column->addWidget(privacyChoice(QStringLiteral("settings.general.telemetry"), QStringLiteral("settings.general.telemetry.hint"),
                                    &m_reports, this));
    m_continue = ViewStyle::prominentButton(text(QStringLiteral("onboarding.continue")), this);
    m_continue->setObjectName(QStringLiteral("onboarding.continue"));
    column->addLayout(centred(m_continue));
    // Written the moment a switch moves; Continue writes nothing.
    connect(m_exclude, &QCheckBox::toggled, this, [this](bool on) { m_model.setExcludesPasswordApps(on); });
    connect(m_reports, &QCheckBox::toggled, this, [this](bool on) { m_model.setTelemetryEnabled(on); });
    connect(m_continue, &QPushButton::clicked, this, [onContinue = std::move(onContinue)] { onContinue(); });
    refresh();
}

void PrivacyStep::refresh()
{
    const QSignalBlocker a(m_exclude);
    const QSignalBlocker b(m_reports);
    m_exclude->setChecked(m_model.excludesPasswordApps());
    m_reports->setChecked(m_model.telemetryEnabled());
}

void PrivacyStep::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

ConnectAIStep::ConnectAIStep(std::function<void(AIProviderID)> select, std::function<void(const QUrl&)> openURL,
                             std::function<void()> onConnected, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ConnectAIStep"));
    auto* column = centredColumn(this, 14, 460);
    column->addWidget(textLabel(text(QStringLiteral("onboarding.ai.title")), titleFont(), this));
    column->addWidget(textLabel(text(QStringLiteral("onboarding.ai.subtitle")), ViewStyle::calloutFont(), this, true));
    auto* cards = new QVBoxLayout;
    cards->setSpacing(10);
    struct Card {
        AIProviderID provider;
        QString name;
        QString symbol;
        bool recommended;
        QString keyPage; // empty: the provider needs no key
    };
    const QList<Card> table{
        {AIProviderID::openRouter, QStringLiteral("openRouter"), QStringLiteral("key"), true, openRouterKeys},
        {AIProviderID::ollama, QStringLiteral("ollama"), QStringLiteral("desktopcomputer"), false, {}},
        {AIProviderID::alibabaBailian, QStringLiteral("alibaba"), QStringLiteral("key"), false, bailianKeys},
    };
    for (const Card& c : table) {
        const QString prefix = QStringLiteral("onboarding.ai.") + c.name;
        auto* button = cardButton(c.symbol, text(prefix + QStringLiteral(".title")), text(prefix + QStringLiteral(".detail")),
                                  c.recommended ? text(QStringLiteral("onboarding.ai.recommended")) : QString(), this);
        connect(button, &QPushButton::clicked, this, [c, select, openURL, onConnected] {
            select(c.provider);
            // A key is entered in the AI settings; this page only leads to where one is made.
            if (c.keyPage.isEmpty())
                onConnected();
            else
                openURL(QUrl(c.keyPage));
        });
        cards->addWidget(button);
        m_cards.append({c.provider, button});
    }
    column->addLayout(cards);
}

QPushButton* ConnectAIStep::card(AIProviderID provider) const
{
    for (const auto& [p, b] : m_cards)
        if (p == provider)
            return b;
    return nullptr;
}

QString ReadinessRow::reason(const FeatureReadiness& feature)
{
    if (feature.isAvailable)
        return {};
    if (!feature.unavailableHereKey.isEmpty())
        return text(feature.unavailableHereKey);
    if (feature.blockedBy)
        return text(QStringLiteral("ready.needsPermission")).arg(text(systemNameKey(*feature.blockedBy)));
    return text(QStringLiteral("ready.needsAI"));
}

ReadinessRow::ReadinessRow(const FeatureReadiness& feature, QWidget* parent) : QWidget(parent)
{
    setObjectName(feature.id);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 9, 14, 9);
    row->setSpacing(10);
    auto* symbol = ViewStyle::symbolLabel(feature.symbolName, 18,
                                          feature.isAvailable ? ViewStyle::accent() : ViewStyle::secondaryColor(), this);
    symbol->setFixedWidth(20);
    row->addWidget(symbol);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(textLabel(text(feature.titleKey), ViewStyle::calloutFont(), this, false, false));
    m_reason = textLabel(reason(feature), ViewStyle::captionFont(), this, true, false);
    m_reason->setObjectName(QStringLiteral("reason"));
    m_reason->setVisible(!feature.isAvailable);
    texts->addWidget(m_reason);
    row->addLayout(texts, 1);
    row->addSpacing(8);
    const QString status = feature.isAvailable ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("minus.circle");
    auto* mark = ViewStyle::symbolLabel(status, 18, feature.isAvailable ? ViewStyle::green() : ViewStyle::secondaryColor(), this);
    mark->setObjectName(QStringLiteral("status"));
    row->addWidget(mark);
}

SummaryStep::SummaryStep(std::function<void()> onFinish, std::function<void()> onRunAgain, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SummaryStep"));
    auto* column = centredColumn(this, 16, 460);
    m_title = textLabel({}, titleFont(), this);
    column->addWidget(m_title);
    m_subtitle = textLabel({}, ViewStyle::calloutFont(), this, true);
    column->addWidget(m_subtitle);
    m_card = ViewStyle::card(this);
    auto* rows = new QVBoxLayout(m_card);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    column->addWidget(m_card);
    column->addWidget(textLabel(text(QStringLiteral("onboarding.done.menuBarHint")), ViewStyle::captionFont(), this, true));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    m_runAgain = new QPushButton(text(QStringLiteral("onboarding.done.runAgain")), this);
    m_runAgain->setObjectName(QStringLiteral("onboarding.done.runAgain"));
    {
        // As tall as the prominent button beside it; the one made to measure is not kept.
        std::unique_ptr<QPushButton> measure(ViewStyle::prominentButton(text(QStringLiteral("onboarding.done.finish")), nullptr));
        m_runAgain->setMinimumHeight(measure->sizeHint().height());
    }
    buttons->addWidget(m_runAgain);
    m_finish = ViewStyle::prominentButton(text(QStringLiteral("onboarding.done.finish")), this);
    m_finish->setObjectName(QStringLiteral("onboarding.done.finish"));
    buttons->addWidget(m_finish);
    buttons->addStretch(1);
    column->addLayout(buttons);
    connect(m_finish, &QPushButton::clicked, this, [onFinish = std::move(onFinish)] { onFinish(); });
    connect(m_runAgain, &QPushButton::clicked, this, [onRunAgain = std::move(onRunAgain)] { onRunAgain(); });
}

void SummaryStep::setFeatures(const QList<FeatureReadiness>& features)
{
    if (features == m_features && !m_rows.isEmpty())
        return;
    m_features = features;
    // What is missing decides what the subtitle promises: a permission or a provider can still
    // come, a feature this system cannot run cannot.
    bool waiting = false;
    bool unavailableHere = false;
    for (const auto& f : features) {
        if (f.isAvailable)
            continue;
        if (f.unavailableHereKey.isEmpty())
            waiting = true;
        else
            unavailableHere = true;
    }
    const bool complete = !waiting && !unavailableHere;
    m_title->setText(text(complete ? QStringLiteral("onboarding.done.title") : QStringLiteral("onboarding.done.partial.title")));
    QString subtitle = QStringLiteral("onboarding.done.subtitle");
    if (waiting && unavailableHere)
        subtitle = QStringLiteral("onboarding.done.partialAndUnavailableHere.subtitle");
    else if (waiting)
        subtitle = QStringLiteral("onboarding.done.partial.subtitle");
    else if (unavailableHere)
        subtitle = QStringLiteral("onboarding.done.unavailableHere.subtitle");
    m_subtitle->setText(text(subtitle));
    m_runAgain->setVisible(!complete);

    auto* layout = static_cast<QVBoxLayout*>(m_card->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    m_rows.clear();
    for (const auto& f : features) {
        if (!m_rows.isEmpty()) {
            auto* divider = new QFrame(m_card);
            divider->setFrameShape(QFrame::HLine);
            divider->setForegroundRole(QPalette::Mid);
            layout->addWidget(divider);
        }
        auto* row = new ReadinessRow(f, m_card);
        layout->addWidget(row);
        m_rows << row;
    }
}
