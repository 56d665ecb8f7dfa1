#pragma once

#include "Onboarding/OnboardingModel.h"
#include "Platform/Permissions.h"
#include "System/Permission.h"
#include "System/UsagePreset.h"

#include <QWidget>

#include <functional>

class PermissionMonitor;
class QCheckBox;
class QLabel;
class QPushButton;
class QTextEdit;
class SettingsModel;

// The step pages of the onboarding window. Each is built with what it shows and the callbacks the
// window hands it; none holds the walk-through's state.

class WelcomeStep : public QWidget {
    Q_OBJECT
public:
    WelcomeStep(std::function<void()> onStart, QWidget* parent = nullptr);
    QPushButton* startButton() const { return m_start; }

private:
    QPushButton* m_start = nullptr;
};

class PresetStep : public QWidget {
    Q_OBJECT
public:
    PresetStep(SettingsModel& model, std::function<void()> onChoose, QWidget* parent = nullptr);
    QPushButton* row(UsagePreset preset) const;

private:
    QList<QPushButton*> m_rows;
};

// One view for the three permission steps; it follows the monitor on its own.
class PermissionStep : public QWidget {
    Q_OBJECT
public:
    PermissionStep(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform,
                   std::function<void()> onContinue, QWidget* parent = nullptr);
    void refresh();

    bool isGranted() const;
    QLabel* symbol() const { return m_symbol; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* continueButton() const { return m_continue; }
    QWidget* grantedLabel() const { return m_granted; }
    QLabel* consequenceLabel() const { return m_consequence; }
    QLabel* stepsLabel() const { return m_steps; }

private:
    Permission m_permission;
    PermissionMonitor& m_monitor;
    Platform::Permissions& m_platform;
    QLabel* m_symbol = nullptr;
    QLabel* m_consequence = nullptr;
    QWidget* m_granted = nullptr;
    QPushButton* m_continue = nullptr;
    QPushButton* m_open = nullptr;
    QLabel* m_autoDetect = nullptr;
    QLabel* m_steps = nullptr;
};

class TryItStep : public QWidget {
    Q_OBJECT
public:
    TryItStep(const QString& sample, QWidget* parent = nullptr);
    void setHasTried(bool tried);
    QTextEdit* sample() const { return m_sample; }
    QWidget* successLabel() const { return m_success; }

private:
    QTextEdit* m_sample = nullptr;
    QWidget* m_success = nullptr;
};

class PrivacyStep : public QWidget {
    Q_OBJECT
public:
    PrivacyStep(SettingsModel& model, std::function<void()> onContinue, QWidget* parent = nullptr);
    // Each time the page is shown the switches read the model again.
    void refresh();
    QCheckBox* excludeSwitch() const { return m_exclude; }
    QCheckBox* reportsSwitch() const { return m_reports; }
    QPushButton* continueButton() const { return m_continue; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsModel& m_model;
    QCheckBox* m_exclude = nullptr;
    QCheckBox* m_reports = nullptr;
    QPushButton* m_continue = nullptr;
};

class ConnectAIStep : public QWidget {
    Q_OBJECT
public:
    // The provider key pages the cards open.
    inline static const QString openRouterKeys = QStringLiteral("https://openrouter.ai/keys");
    inline static const QString bailianKeys = QStringLiteral("https://bailian.console.aliyun.com/?apiKey=1");

    ConnectAIStep(std::function<void(AIProviderID)> select, std::function<void(const QUrl&)> openURL,
                  std::function<void()> onConnected, QWidget* parent = nullptr);
    QPushButton* card(AIProviderID provider) const;

private:
    QList<std::pair<AIProviderID, QPushButton*>> m_cards;
};

class ReadinessRow : public QWidget {
    Q_OBJECT
public:
    explicit ReadinessRow(const FeatureReadiness& feature, QWidget* parent = nullptr);
    // Why the feature is not ready; empty when it is.
    static QString reason(const FeatureReadiness& feature);
    QLabel* reasonLabel() const { return m_reason; }

private:
    QLabel* m_reason = nullptr;
};

class SummaryStep : public QWidget {
    Q_OBJECT
public:
    SummaryStep(std::function<void()> onFinish, std::function<void()> onRunAgain, QWidget* parent = nullptr);
    // The rows, title and buttons follow the features at every call.
    void setFeatures(const QList<FeatureReadiness>& features);

    QLabel* title() const { return m_title; }
    QLabel* subtitle() const { return m_subtitle; }
    QList<ReadinessRow*> rows() const { return m_rows; }
    QPushButton* finishButton() const { return m_finish; }
    QPushButton* runAgainButton() const { return m_runAgain; }

private:
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QWidget* m_card = nullptr;
    QList<ReadinessRow*> m_rows;
    QList<FeatureReadiness> m_features;
    QPushButton* m_finish = nullptr;
    QPushButton* m_runAgain = nullptr;
};
