#include "App/AlertPresenter.h"

#include <QApplication>
#include <QMessageBox>

void DesktopAlertPresenter::showAlert(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ambrel"), message, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.raise();
    box.activateWindow();
    box.exec();
}

void DesktopAlertPresenter::alertSound()
{
    QApplication::beep();
}
