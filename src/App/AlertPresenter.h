#pragma once

#include <QString>

// What the application shows the user outside its windows: a warning alert, the alert sound.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void showAlert(const QString& message) = 0;
    virtual void alertSound() = 0;
};

// Modal warning boxes on the desktop.
class DesktopAlertPresenter final : public AlertPresenter {
public:
    void showAlert(const QString& message) override;
    void alertSound() override;
};
