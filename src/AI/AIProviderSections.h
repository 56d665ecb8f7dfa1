#pragma once

#include "Platform/UserDefaults.h"

#include <QWidget>

#include <functional>
#include <memory>

class AIViewModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The settings in which the user connects Ambrel to an AI provider: provider, region, endpoint,
// key, model, the connection test, the language AI actions answer in and the removal of every
// key. Everything but the answer language lives in the AI view model; the page follows it.
class AIProviderSections : public QWidget {
    Q_OBJECT
public:
    inline static const QString outputLanguageKey = QStringLiteral("ai.outputLanguage");

    // How the hosting page draws its sections, so that these look like its own.
    struct Look {
        // Adds a section to the column: its title (none when empty) with `beside` next to it
        // (may be null), and a framed body whose layout is returned.
        std::function<QVBoxLayout*(QVBoxLayout* column, const QString& title, QWidget* beside)> addSection;
        // The help button beside the service's title, opening the manual's chapter on AI.
        std::function<QWidget*(QWidget* parent)> helpLink;
    };

    AIProviderSections(AIViewModel& ai, std::shared_ptr<Platform::UserDefaults> defaults,
                       std::function<void()> onOutputLanguageChange, Look look = {}, QWidget* parent = nullptr);

private:
    void refresh();

    AIViewModel& m_ai;
    std::shared_ptr<Platform::UserDefaults> m_defaults;
    std::function<void()> m_onOutputLanguageChange;

    QComboBox* m_provider = nullptr;
    QWidget* m_regionRow = nullptr;
    QComboBox* m_region = nullptr;
    QWidget* m_endpointRow = nullptr;
    QLineEdit* m_endpoint = nullptr;
    QLabel* m_ollamaHint = nullptr;
    QWidget* m_signInBlock = nullptr;
    QPushButton* m_signIn = nullptr;
    QWidget* m_signInWaiting = nullptr;
    QProgressBar* m_signInProgress = nullptr;
    QLabel* m_signInStatusIcon = nullptr;
    QLabel* m_signInStatus = nullptr;
    QWidget* m_keyBlock = nullptr;
    QLineEdit* m_key = nullptr;
    QPushButton* m_saveKey = nullptr;
    QWidget* m_keyStored = nullptr;
    QLabel* m_keyProblemIcon = nullptr;
    QLabel* m_keyProblem = nullptr;
    QWidget* m_freeModel = nullptr;
    QLineEdit* m_modelName = nullptr;
    QWidget* m_knownModelsRow = nullptr;
    QComboBox* m_knownModels = nullptr;
    QWidget* m_presetRow = nullptr;
    QComboBox* m_presetModel = nullptr;
    QProgressBar* m_testProgress = nullptr;
    QLabel* m_connectionIcon = nullptr;
    QLabel* m_connectionStatus = nullptr;
    QComboBox* m_outputLanguage = nullptr;
    QLabel* m_removalProblemIcon = nullptr;
    QLabel* m_removalProblem = nullptr;
    bool m_refreshing = false;
};
