#include "Settings/ShortcutRecorder.h"

#include "Settings/SettingsStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using SettingsStyle::text;

ShortcutRecorder::ShortcutRecorder(Binding binding, QWidget* parent) : QWidget(parent), m_binding(std::move(binding))
{
    setObjectName(QStringLiteral("ShortcutRecorder"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    m_main = new QPushButton(this);
    m_main->setObjectName(QStringLiteral("record"));
    m_main->setMinimumWidth(96);
    m_main->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    row->addWidget(m_main);
    m_clear = SettingsStyle::linkButton(text(QStringLiteral("settings.shortcut.clear")), this);
    m_clear->setObjectName(QStringLiteral("settings.shortcut.clear"));
    row->addWidget(m_clear);
    m_refused = new QWidget(this);
    auto* warning = new QHBoxLayout(m_refused);
    warning->setContentsMargins(0, 0, 0, 0);
    warning->setSpacing(4);
    warning->addWidget(SettingsStyle::symbolLabel(QStringLiteral("exclamationmark.triangle"), 14, SettingsStyle::orange(), m_refused));
    auto* taken = new QLabel(text(QStringLiteral("settings.shortcut.taken")), m_refused);
    taken->setFont(SettingsStyle::calloutFont());
    QPalette palette = taken->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::orange());
    taken->setPalette(palette);
    warning->addWidget(taken);
    m_refused->setObjectName(QStringLiteral("settings.shortcut.taken"));
    row->addWidget(m_refused);
    row->addStretch(1);

    connect(m_main, &QPushButton::clicked, this, [this] {
        if (m_recording)
            stopRecording();
        else
            startRecording();
    });
    connect(m_clear, &QPushButton::clicked, this, [this] { m_binding.set(std::nullopt); refresh(); });
    refresh();
}

ShortcutRecorder::~ShortcutRecorder()
{
    // The binding's owner may be gone already (a page deletes its children after its own
    // members): only the filter goes, nothing is called back.
    if (m_recording)
        qApp->removeEventFilter(this);
}

QString ShortcutRecorder::label() const
{
    if (m_recording)
        return text(QStringLiteral("settings.shortcut.recording"));
    if (const auto combination = m_binding.get())
        return combination->displayString();
    return text(QStringLiteral("settings.shortcut.none"));
}

void ShortcutRecorder::refresh()
{
    m_main->setText(label());
    const bool has = m_binding.get().has_value();
    m_clear->setVisible(has && !m_recording);
    m_refused->setVisible(!m_recording && m_binding.wasRefused && m_binding.wasRefused());
}

void ShortcutRecorder::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    // Only this application's key presses: another application's are never seen.
    qApp->installEventFilter(this);
    refresh();
}

void ShortcutRecorder::stopRecording()
{
    if (!m_recording)
        return;
    qApp->removeEventFilter(this);
    m_recording = false;
    // Hidden, the label waits for the next show: a hide may come from the owner's destruction,
    // when the binding must not be called.
    if (isVisible())
        refresh();
}

void ShortcutRecorder::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void ShortcutRecorder::hideEvent(QHideEvent* event)
{
    // A monitor never outlives the control on screen.
    stopRecording();
    QWidget::hideEvent(event);
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_recording)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // While recording, the application's own shortcuts do not fire: the press is ours.
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
        // A modifier going down is no key of a combination: passed on.
        return QWidget::eventFilter(watched, event);
    case Qt::Key_Escape:
        stopRecording();
        return true;
    default: break;
    }
    if (const auto combination = GlobalHotKey::Combination::fromKeyPress(key->key(), key->modifiers())) {
        m_binding.set(*combination);
        stopRecording();
    }
    // Without command, option or control it is no shortcut: swallowed, recording goes on.
    return true;
}
