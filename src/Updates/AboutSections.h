#pragma once

#include "Updates/UpdateChecker.h"
#include "Updates/UpdateInstaller.h"

#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The about block at the end of the General settings page: the running version, the manual
// check, what a newer release offers and the install controls. The settings window only has to
// place it:
//
//   page->layout()->addWidget(new AboutSections(model.updates(), model.updateInstaller(), version, openURL));
//
// It holds no state beyond the manual-check flag; everything else follows the checker and the
// installer as they change.
class UpdateInstallControls : public QWidget {
    Q_OBJECT
public:
    UpdateInstallControls(UpdateInstaller& installer, std::function<void(const QUrl&)> openURL, QWidget* parent = nullptr);

    void setRelease(const UpdateRelease& release);
    const std::optional<UpdateRelease>& release() const { return m_release; }

private:
    void refresh();
    int pageFor();
    void showPage(int index);

    UpdateInstaller& m_installer;
    std::function<void(const QUrl&)> m_openURL;
    std::optional<UpdateRelease> m_release;
    QWidget* m_pages;
    QVBoxLayout* m_pageLayout;
    QProgressBar* m_progress;
    QLabel* m_failure;
};

class UpdateSection : public QWidget {
    Q_OBJECT
public:
    UpdateSection(UpdateChecker& checker, UpdateInstaller& installer, const QString& version,
                  std::function<void(const QUrl&)> openURL, QWidget* parent = nullptr);

    bool isChecking() const { return m_isChecking; }

private:
    void refresh();

    UpdateChecker& m_checker;
    std::function<void(const QUrl&)> m_openURL;
    bool m_isChecking = false;
    QWidget* m_availableRows;
    QLabel* m_availableText;
    QLabel* m_notes;
    UpdateInstallControls* m_install;
    QWidget* m_blockedRows;
    QLabel* m_blockedText;
    QLabel* m_needsNewerSystem;
    QPushButton* m_check;
    QProgressBar* m_spinner;
    QLabel* m_upToDate;
    QLabel* m_checkFailed;
};

class AboutSections : public QWidget {
    Q_OBJECT
public:
    // `version` is the running version ("—" when empty).
    AboutSections(UpdateChecker& checker, UpdateInstaller& installer, const QString& version,
                  std::function<void(const QUrl&)> openURL, QWidget* parent = nullptr);

    UpdateSection* updateSection() const { return m_section; }

private:
    UpdateSection* m_section;
};
