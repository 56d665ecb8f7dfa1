#include "Onboarding/OnboardingView.h"

#include "Onboarding/OnboardingSteps.h"
#include "Selection/SelectionMonitor.h"
#include "Settings/SettingsStyle.h"
#include "Settings/WheelGuard.h"
#include "System/PermissionMonitor.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>
#include <numbers>

using SettingsStyle::text;

namespace {

constexpr int stepChangeMilliseconds = 500;

// A critically damped spring over the step change: quick at first, settling without overshoot.
qreal springSettle(qreal progress)
{
    const qreal omega = 2 * std::numbers::pi / (stepChangeMilliseconds / 1000.0);
    auto reached = [omega](qreal seconds) { return 1 - (1 + omega * seconds) * std::exp(-omega * seconds); };
    const qreal end = reached(stepChangeMilliseconds / 1000.0);
    return reached(progress * stepChangeMilliseconds / 1000.0) / end;
}

QPropertyAnimation* fade(QWidget* widget, qreal from, qreal to, QObject* parent)
{
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(from);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", parent);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(stepChangeMilliseconds);
    QEasingCurve curve;
    curve.setCustomType(springSettle);
    animation->setEasingCurve(curve);
    return animation;
}

} // namespace

OnboardingView::OnboardingView(Model& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("onboarding"));
    setWindowTitle(text(QStringLiteral("window.onboarding")));
    WheelGuard::protect(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_content = new QVBoxLayout;
    m_content->setContentsMargins(32, 32, 32, 32);
    layout->addLayout(m_content, 1);

    m_footer = new QWidget(this);
    m_footer->setObjectName(QStringLiteral("footer"));
    m_footer->setAutoFillBackground(true);
    m_footer->setBackgroundRole(QPalette::AlternateBase);
    auto* footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(24, 16, 24, 16);
    m_back = new QPushButton(text(QStringLiteral("onboarding.back")), m_footer);
    m_back->setObjectName(QStringLiteral("onboarding.back"));
    m_back->setFlat(true);
    footer->addWidget(m_back);
    footer->addStretch(1);
    m_progress = new QProgressBar(m_footer);
    m_progress->setFixedWidth(120);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(8);
    m_progress->setGraphicsEffect(new QGraphicsOpacityEffect(m_progress));
    footer->addWidget(m_progress);
    footer->addStretch(1);
    m_next = new QPushButton(m_footer);
    m_next->setObjectName(QStringLiteral("next"));
    m_next->setFlat(true);
    footer->addWidget(m_next);
    layout->addWidget(m_footer);
    // The buttons keep their room while hidden, so the progress stays in the middle.
    for (QWidget* w : {static_cast<QWidget*>(m_back), static_cast<QWidget*>(m_next)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    connect(m_back, &QPushButton::clicked, this, [this] { if (m_flow) m_flow->goBack(); });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (!m_flow)
            return;
        if (isCurrentPermissionGranted())
            m_flow->advance();
        else
            m_flow->skip();
    });
    connect(&m_model.permissions(), &PermissionMonitor::grantedChanged, this, &OnboardingView::permissionsChanged);
    connect(&m_model.selectionMonitor(), &SelectionMonitor::presentationCountChanged, this, [this] {
        if (isVisible() && m_flow && m_flow->step() == OnboardingStep::tryItOut)
            m_flow->setHasTriedSelection(true);
    });
    connect(&m_model.settingsNotifier(), &SettingsNotifier::changed, this, &OnboardingView::refreshStep);
    resize(640, 600);
}

OnboardingView::~OnboardingView() = default;

void OnboardingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_flow) {
        m_flow = std::make_unique<OnboardingModel>(m_model);
        connect(m_flow.get(), &OnboardingModel::stepChanged, this, &OnboardingView::showStep);
        connect(m_flow.get(), &OnboardingModel::hasTriedSelectionChanged, this, &OnboardingView::refreshStep);
    }
    m_model.permissions().startPolling(std::chrono::seconds(1));
    resume();
    showStep();
}

void OnboardingView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    endCrossFade();
    // Closed without finishing: polling stops; showing the window again starts it again.
    if (m_flow)
        m_model.permissions().stopPolling();
}

void OnboardingView::resume()
{
    if (const auto pending = m_model.pendingOnboardingStep()) {
        m_model.setPendingOnboardingStep(std::nullopt);
        m_flow->jump(*pending);
    } else if (m_flow->step() == OnboardingStep::done) {
        m_flow->restart();
    }
}

bool OnboardingView::isCurrentPermissionGranted() const
{
    if (!m_flow)
        return false;
    const auto permission = OnboardingSteps::permission(m_flow->step());
    return permission && m_model.permissions().isGranted(*permission);
}

void OnboardingView::permissionsChanged(const QMap<Permission, bool>& previous, const QMap<Permission, bool>& current)
{
    // The window polls every second; only a change is news.
    if (!isVisible() || previous == current)
        return;
    for (auto it = current.begin(); it != current.end(); ++it)
        if (it.value() && !previous.value(it.key(), false))
            m_model.sendTelemetry(TelemetryEvent::permissionGranted(toRaw(it.key())));
    m_model.syncSelectionMonitor();
    if (m_flow)
        m_flow->reactToPermissionChange();
    refreshStep();
}

QWidget* OnboardingView::makeStepView(OnboardingStep step)
{
    OnboardingModel* flow = m_flow.get();
    auto advance = [flow] { flow->advance(); };
    switch (step) {
    case OnboardingStep::welcome: return new WelcomeStep(advance, this);
    case OnboardingStep::preset: return new PresetStep(m_model, advance, this);
    case OnboardingStep::finderPermission:
    case OnboardingStep::accessibilityPermission:
    case OnboardingStep::inputMonitoringPermission:
        return new PermissionStep(*OnboardingSteps::permission(step), m_model.permissions(), *m_model.services().permissions,
                                  advance, this);
    case OnboardingStep::tryItOut: return new TryItStep(text(QStringLiteral("onboarding.tryIt.sample")), this);
    case OnboardingStep::privacy: return new PrivacyStep(m_model, advance, this);
    case OnboardingStep::connectAI: {
        auto workspace = m_model.services().workspace;
        return new ConnectAIStep([this](AIProviderID p) { m_model.selectAIProvider(p); },
                                 [workspace](const QUrl& url) { workspace->openURL(url); }, advance, this);
    }
    case OnboardingStep::done: {
        QPointer<OnboardingView> self(this);
        return new SummaryStep(
            [self, flow] {
                flow->finish();
                if (self) {
                    self->close();
                    emit self->finished();
                }
            },
            [flow] { flow->restart(); }, this);
    }
    }
    return nullptr;
}

void OnboardingView::showStep()
{
    if (!m_flow)
        return;
    const OnboardingStep step = m_flow->step();
    if (m_shownStep != step || !m_stepView) {
        QWidget* leaving = m_stepView;
        if (leaving)
            m_content->removeWidget(leaving);
        m_stepView = makeStepView(step);
        m_content->addWidget(m_stepView);
        m_shownStep = step;
        if (leaving) {
            // The window appearing shows its step at once; a change of step cross-fades.
            if (isVisible())
                crossFade(leaving, m_stepView);
            leaving->hide();
            leaving->deleteLater();
        }
    }
    refreshStep();
}

bool OnboardingView::isChangingStep() const
{
    return m_stepChange != nullptr;
}

void OnboardingView::crossFade(QWidget* leaving, QWidget* entering)
{
    // The step left is drawn as a picture, so its buttons are gone at once and only the step
    // that came answers clicks; a change during a change fades out from where it was.
    qreal leavingOpacity = 1.0;
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(leaving->graphicsEffect()))
        leavingOpacity = effect->opacity();
    const qreal enteringStart = isChangingStep() ? 1.0 - leavingOpacity : 0.0;
    endCrossFade();
    leaving->setGraphicsEffect(nullptr);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("leavingStep"));
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture->setPixmap(leaving->grab());
    picture->setGeometry(leaving->geometry());
    picture->show();
    picture->raise();
    m_leavingStep = picture;

    m_stepChange = new QParallelAnimationGroup(this);
    m_stepChange->addAnimation(fade(picture, leavingOpacity, 0.0, m_stepChange));
    m_stepChange->addAnimation(fade(entering, enteringStart, 1.0, m_stepChange));
    connect(m_stepChange, &QAbstractAnimation::finished, this, &OnboardingView::endCrossFade);
    m_stepChange->start();
}

void OnboardingView::endCrossFade()
{
    if (m_stepChange) {
        m_stepChange->disconnect(this);
        m_stepChange->stop();
        m_stepChange->deleteLater();
        m_stepChange = nullptr;
    }
    if (m_leavingStep)
        delete m_leavingStep.data();
    // An opacity effect left on the step would draw it through an off-screen picture for good.
    if (m_stepView)
        m_stepView->setGraphicsEffect(nullptr);
}

void OnboardingView::refreshStep()
{
    if (!m_flow || !m_stepView)
        return;
    if (auto* tryIt = qobject_cast<TryItStep*>(m_stepView))
        tryIt->setHasTried(m_flow->hasTriedSelection());
    if (auto* summary = qobject_cast<SummaryStep*>(m_stepView))
        summary->setFeatures(m_flow->features());
    refreshFooter();
}

void OnboardingView::refreshFooter()
{
    const OnboardingStep step = m_flow->step();
    const bool ends = step == OnboardingStep::welcome || step == OnboardingStep::done;
    m_back->setVisible(!ends);
    m_next->setVisible(!ends);
    m_next->setText(text(isCurrentPermissionGranted() ? QStringLiteral("onboarding.next") : QStringLiteral("onboarding.skip")));
    m_progress->setValue(int(step) * 125);
    static_cast<QGraphicsOpacityEffect*>(m_progress->graphicsEffect())->setOpacity(step == OnboardingStep::done ? 0.0 : 1.0);
}
