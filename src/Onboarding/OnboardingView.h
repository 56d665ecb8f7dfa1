#pragma once

#include "Onboarding/OnboardingModel.h"
#include "Settings/SettingsModel.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QParallelAnimationGroup;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class SelectionMonitor;

// The onboarding window: the page of the current step above a footer with Back, the progress and
// Next or Skip. While it is on screen it polls the permissions, reports newly granted ones, keeps
// the selection toolbar in step with them, notices the try-out, and opens at the step the menu
// asked for. The walk-through lives as long as the window.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    class Model : public OnboardingModel::Application, public SettingsModel {
    public:
        PermissionMonitor& permissions() override = 0;
        virtual std::optional<OnboardingStep> pendingOnboardingStep() const = 0;
        virtual void setPendingOnboardingStep(std::optional<OnboardingStep> step) = 0;
        virtual SelectionMonitor& selectionMonitor() = 0;
        // Makes the provider the current one with its default region and model.
        virtual void selectAIProvider(AIProviderID provider) = 0;
    };

    explicit OnboardingView(Model& model, QWidget* parent = nullptr);
    ~OnboardingView() override;

    // Null until the window was first shown.
    OnboardingModel* flow() const { return m_flow.get(); }
    QWidget* stepView() const { return m_stepView; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* nextButton() const { return m_next; }
    QProgressBar* progress() const { return m_progress; }
    // The footer's forward button reads Next on a permission step whose permission is granted.
    bool isCurrentPermissionGranted() const;
    // True while the step that was left fades out over the one that came.
    bool isChangingStep() const;

signals:
    void finished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void resume();
    void showStep();
    void refreshFooter();
    void refreshStep();
    void permissionsChanged(const QMap<Permission, bool>& previous, const QMap<Permission, bool>& current);
    QWidget* makeStepView(OnboardingStep step);
    void crossFade(QWidget* leaving, QWidget* entering);
    void endCrossFade();

    Model& m_model;
    std::unique_ptr<OnboardingModel> m_flow;
    QVBoxLayout* m_content = nullptr;
    QPointer<QWidget> m_stepView;
    std::optional<OnboardingStep> m_shownStep;
    QParallelAnimationGroup* m_stepChange = nullptr;
    QPointer<QLabel> m_leavingStep; // a picture of the step left, while it fades out
    QWidget* m_footer = nullptr;
    QPushButton* m_back = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_next = nullptr;
};
