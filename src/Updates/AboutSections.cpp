#include "Updates/AboutSections.h"

#include "Updates/UpdatesStrings.h"

#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return UpdatesStrings::string(QString::fromLatin1(key));
}

// A wrapped text that keeps at least the height of its lines at the width it was given, so a
// host that lays the block out by its preferred size (a window, a plain box) cannot cut lines
// off when the text wraps more than that size assumed.
class WrappedLabel final : public QLabel {
public:
    explicit WrappedLabel(const QString& content = {}, QWidget* parent = nullptr) : QLabel(content, parent)
    {
        setWordWrap(true);
    }

    QSize minimumSizeHint() const override
    {
        QSize size = QLabel::minimumSizeHint();
        if (testAttribute(Qt::WA_Resized)) // laid out: the width is the real one
            size.setHeight(qMax(size.height(), heightForWidth(width())));
        return size;
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        const int lines = heightForWidth(width());
        if (lines != m_lines) {
            m_lines = lines;
            updateGeometry();
        }
    }

private:
    int m_lines = -1;
};

QLabel* secondaryLabel(const QString& content, QWidget* parent)
{
    auto* label = new WrappedLabel(content, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    return label;
}

QPushButton* linkButton(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    button->setPalette(palette);
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

QProgressBar* busyIndicator(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(60, 10);
    return bar;
}

// A row of controls. A word-wrapped label takes the row's free width, so a short text stays on
// one line, and asks for the height of its wrapped lines at that width. While no such label is
// shown, the free width stays empty at the end: a button keeps its own width.
QWidget* row(QWidget* parent, std::initializer_list<QWidget*> widgets)
{
    auto* w = new QWidget(parent);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    bool fills = false;
    for (QWidget* widget : widgets) {
        widget->setParent(w);
        auto* label = qobject_cast<QLabel*>(widget);
        if (label && label->wordWrap()) {
            QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Minimum);
            policy.setHeightForWidth(true);
            label->setSizePolicy(policy);
            layout->addWidget(widget, 1);
            fills = true;
        } else {
            layout->addWidget(widget, 0, Qt::AlignVCenter);
        }
    }
    // A shown label outweighs it; without one it takes what is left.
    layout->addStretch(fills ? 0 : 1);
    return w;
}

} // namespace

UpdateInstallControls::UpdateInstallControls(UpdateInstaller& installer, std::function<void(const QUrl&)> openURL,
                                             QWidget* parent)
    : QWidget(parent)
    , m_installer(installer)
    , m_openURL(std::move(openURL))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Only the shown layout takes part in the height, so the block is as tall as it needs at
    // its width (a stack would ask for the tallest of its pages).
    m_pages = new QWidget(this);
    m_pageLayout = new QVBoxLayout(m_pages);
    m_pageLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    auto openPage = [this] {
        if (m_release && m_openURL)
            m_openURL(m_release->url);
    };
    auto download = [this] {
        if (m_release)
            m_installer.download(*m_release);
    };

    // idle
    auto* install = new QPushButton(text("about.update.install"));
    install->setObjectName(QStringLiteral("install"));
    connect(install, &QPushButton::clicked, this, download);
    m_pageLayout->addWidget(row(m_pages, {install}));

    // downloading
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMinimumWidth(200);
    auto* cancel = linkButton(text("about.update.cancel"), nullptr);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { m_installer.cancel(); });
    m_pageLayout->addWidget(row(m_pages, {m_progress, cancel}));

    // verifying
    auto* verifying = secondaryLabel(text("about.update.verifying"), nullptr);
    m_pageLayout->addWidget(row(m_pages, {busyIndicator(nullptr), verifying}));

    // readyToRelaunch
    auto* relaunch = new QPushButton(text("about.update.relaunch"));
    relaunch->setObjectName(QStringLiteral("relaunch"));
    relaunch->setDefault(true);
    relaunch->setAutoDefault(true);
    connect(relaunch, &QPushButton::clicked, this, [this] { m_installer.relaunch(); });
    auto* ready = secondaryLabel(text("about.update.ready"), nullptr);
    ready->setObjectName(QStringLiteral("readyText"));
    m_pageLayout->addWidget(row(m_pages, {relaunch, ready}));

    // failed
    auto* failed = new QWidget(m_pages);
    auto* failedLayout = new QVBoxLayout(failed);
    failedLayout->setContentsMargins(0, 0, 0, 0);
    failedLayout->setSpacing(6);
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    m_failure = new WrappedLabel;
    m_failure->setObjectName(QStringLiteral("failure"));
    QPalette orange = m_failure->palette();
    orange.setColor(QPalette::WindowText, QColor(0xc8, 0x6a, 0x00));
    m_failure->setPalette(orange);
    failedLayout->addWidget(row(failed, {icon, m_failure}));
    auto* retry = new QPushButton(text("about.update.retry"));
    retry->setObjectName(QStringLiteral("retry"));
    connect(retry, &QPushButton::clicked, this, download);
    auto* page = linkButton(text("about.update.openPage"), nullptr);
    page->setObjectName(QStringLiteral("openPage"));
    connect(page, &QPushButton::clicked, this, openPage);
    failedLayout->addWidget(row(failed, {retry, page}));
    m_pageLayout->addWidget(failed);

    // A copy that did not come from a release bundle only offers the release's page.
    auto* manual = new QWidget(m_pages);
    auto* manualLayout = new QVBoxLayout(manual);
    manualLayout->setContentsMargins(0, 0, 0, 0);
    manualLayout->setSpacing(6);
    manualLayout->addWidget(secondaryLabel(text("about.update.notInstallable"), manual));
    auto* manualPage = linkButton(text("about.update.openPage"), nullptr);
    manualPage->setObjectName(QStringLiteral("openPageManually"));
    connect(manualPage, &QPushButton::clicked, this, openPage);
    manualLayout->addWidget(row(manual, {manualPage}));
    m_pageLayout->addWidget(manual);

    connect(&m_installer, &UpdateInstaller::phaseChanged, this, &UpdateInstallControls::refresh);
    refresh();
}

void UpdateInstallControls::setRelease(const UpdateRelease& release)
{
    m_release = release;
    refresh();
}

void UpdateInstallControls::refresh()
{
    showPage(pageFor());
}

void UpdateInstallControls::showPage(int index)
{
    for (int i = 0; i < m_pageLayout->count(); ++i)
        if (QWidget* page = m_pageLayout->itemAt(i)->widget())
            page->setVisible(i == index);
}

int UpdateInstallControls::pageFor()
{
    using K = UpdateInstaller::Phase::Kind;
    if (!m_installer.canInstall())
        return 5;
    const auto& phase = m_installer.phase();
    switch (phase.kind) {
    case K::idle: return 0;
    case K::downloading:
        m_progress->setValue(int(qBound(0.0, phase.fraction, 1.0) * 1000));
        return 1;
    case K::verifying: return 2;
    case K::readyToRelaunch: return 3;
    case K::failed:
        m_failure->setText(UpdatesStrings::string(QStringLiteral("update.failed.") + toRaw(phase.failure)));
        return 4;
    }
    return 0;
}

UpdateSection::UpdateSection(UpdateChecker& checker, UpdateInstaller& installer, const QString& version,
                             std::function<void(const QUrl&)> openURL, QWidget* parent)
    : QWidget(parent)
    , m_checker(checker)
    , m_openURL(openURL)
{
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    auto* versionLabel = new QLabel(text("about.version"));
    auto* versionValue = new QLabel(version.isEmpty() ? QStringLiteral("—") : version);
    versionValue->setObjectName(QStringLiteral("version"));
    versionValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* versionRow = new QWidget(this);
    auto* versionLayout = new QHBoxLayout(versionRow);
    versionLayout->setContentsMargins(0, 0, 0, 0);
    versionLayout->addWidget(versionLabel);
    versionLayout->addStretch();
    versionLayout->addWidget(versionValue);
    layout->addWidget(versionRow);

    m_availableRows = new QWidget(this);
    auto* available = new QVBoxLayout(m_availableRows);
    available->setContentsMargins(0, 0, 0, 0);
    m_availableText = new QLabel;
    m_availableText->setObjectName(QStringLiteral("availableText"));
    m_notes = secondaryLabel(QString(), m_availableRows);
    m_notes->setObjectName(QStringLiteral("notes"));
    m_notes->setTextFormat(Qt::PlainText);
    m_install = new UpdateInstallControls(installer, openURL, m_availableRows);
    available->addWidget(m_availableText);
    available->addWidget(m_notes);
    available->addWidget(m_install);
    layout->addWidget(m_availableRows);

    m_blockedRows = new QWidget(this);
    auto* blocked = new QVBoxLayout(m_blockedRows);
    blocked->setContentsMargins(0, 0, 0, 0);
    m_blockedText = new QLabel;
    m_blockedText->setObjectName(QStringLiteral("blockedText"));
    auto* exclamation = new QLabel;
    exclamation->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    m_needsNewerSystem = secondaryLabel(QString(), nullptr);
    m_needsNewerSystem->setObjectName(QStringLiteral("needsNewerSystem"));
    auto* page = linkButton(text("about.update.openPage"), nullptr);
    page->setObjectName(QStringLiteral("blockedOpenPage"));
    connect(page, &QPushButton::clicked, this, [this] {
        if (m_checker.blockedBySystem() && m_openURL)
            m_openURL(m_checker.blockedBySystem()->url);
    });
    blocked->addWidget(m_blockedText);
    blocked->addWidget(row(m_blockedRows, {exclamation, m_needsNewerSystem}));
    blocked->addWidget(row(m_blockedRows, {page}));
    layout->addWidget(m_blockedRows);

    m_check = new QPushButton(text("about.update.check"));
    m_check->setObjectName(QStringLiteral("check"));
    m_spinner = busyIndicator(nullptr);
    m_spinner->setObjectName(QStringLiteral("spinner"));
    m_upToDate = secondaryLabel(text("about.update.upToDate"), nullptr);
    m_upToDate->setObjectName(QStringLiteral("upToDate"));
    m_upToDate->setWordWrap(false);
    m_checkFailed = secondaryLabel(text("about.update.checkFailed"), nullptr);
    m_checkFailed->setObjectName(QStringLiteral("checkFailed"));
    QPalette orange = m_checkFailed->palette();
    orange.setColor(QPalette::WindowText, QColor(0xc8, 0x6a, 0x00));
    m_checkFailed->setPalette(orange);
    layout->addWidget(row(this, {m_check, m_spinner, m_upToDate, m_checkFailed}));

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);
    auto* hint = secondaryLabel(text("about.update.hint"), this);
    layout->addWidget(hint);

    connect(m_check, &QPushButton::clicked, this, [this] {
        m_isChecking = true;
        refresh();
        QPointer<UpdateSection> self(this);
        // The manual check is unconditional; the three-day rule is the automatic one's.
        m_checker.check(QDateTime::currentDateTimeUtc(), [self] {
            if (!self)
                return;
            self->m_isChecking = false;
            self->refresh();
        });
    });
    connect(&m_checker, &UpdateChecker::availableChanged, this, &UpdateSection::refresh);
    connect(&m_checker, &UpdateChecker::blockedBySystemChanged, this, &UpdateSection::refresh);
    connect(&m_checker, &UpdateChecker::lastOutcomeChanged, this, &UpdateSection::refresh);
    refresh();
}

void UpdateSection::refresh()
{
    const auto& available = m_checker.available();
    const auto& blocked = m_checker.blockedBySystem();
    m_availableRows->setVisible(available.has_value());
    if (available) {
        m_availableText->setText(text("about.update.available").arg(available->version));
        const bool hasNotes = available->notes && !available->notes->isEmpty();
        m_notes->setVisible(hasNotes);
        m_notes->setText(hasNotes ? *available->notes : QString());
        m_install->setRelease(*available);
    }
    m_blockedRows->setVisible(blocked.has_value());
    if (blocked) {
        m_blockedText->setText(text("about.update.available").arg(blocked->version));
        m_needsNewerSystem->setText(text("about.update.needsNewerSystem").arg(blocked->minimumSystem.value_or(QStringLiteral("—"))));
    }
    m_check->setEnabled(!m_isChecking);
    m_spinner->setVisible(m_isChecking);
    // Up to date only on an answer; a check that failed says so (what was known before stays).
    const UpdateChecker::Outcome outcome = m_checker.lastOutcome();
    m_upToDate->setVisible(!m_isChecking && outcome == UpdateChecker::Outcome::succeeded && !available && !blocked);
    m_checkFailed->setVisible(!m_isChecking && outcome == UpdateChecker::Outcome::failed);
}

AboutSections::AboutSections(UpdateChecker& checker, UpdateInstaller& installer, const QString& version,
                             std::function<void(const QUrl&)> openURL, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_section = new UpdateSection(checker, installer, version, std::move(openURL), this);
    layout->addWidget(m_section);
}
