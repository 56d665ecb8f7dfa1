#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <memory>

typedef struct _XDisplay Display;
class QSocketNotifier;

namespace Platform {

class X11Connection;

// Every client's mouse and keyboard input, watched through the RECORD extension: nothing is
// grabbed, so nobody's input is held up, and each event carries the pointer position and the
// modifiers of the moment it happened (XInput 2 raw events carry neither, and reading them at
// delivery is too late for a fast drag).
class X11GlobalInput final : public QObject {
    Q_OBJECT
public:
    enum class Kind { buttonPress, buttonRelease, motion, keyPress, scroll };
    struct Event {
        Kind kind = Kind::motion;
        int button = 0;        // 1 left, 2 middle, 3 right, 8 and up other buttons; 0 for keys
        int keycode = 0;       // keys only
        int clickCount = 0;    // presses and releases of a button
        QPoint position;       // pointer, top-left coordinates of the root window
        unsigned modifiers = 0; // X modifier and button state just before the event
        bool leftButtonHeld = false;
        unsigned long time = 0; // the server's time stamp of the event
    };

    explicit X11GlobalInput(std::shared_ptr<X11Connection> connection, QObject* parent = nullptr);
    ~X11GlobalInput() override;

    // False without an X server offering RECORD.
    bool isAvailable() const { return m_available; }
    // Events are recorded from the first time someone listens; none are emitted while not.
    void setListening(bool listening);
    QPoint pointer() const;
    unsigned modifiers() const;

    // Called from the recording callback.
    void handle(int type, int detail, QPoint position, unsigned state, unsigned long time);

signals:
    void event(const Platform::X11GlobalInput::Event& event);

private:
    bool startRecording();

    std::shared_ptr<X11Connection> m_x;
    bool m_available = false;
    Display* m_data = nullptr;
    unsigned long m_context = 0;
    QSocketNotifier* m_notifier = nullptr;
    bool m_listening = false;
    // Click counting, as the toolkit does it.
    QElapsedTimer m_lastPress;
    QPoint m_lastPressPosition;
    int m_lastButton = 0;
    int m_clicks = 0;
    bool m_leftHeld = false;
};

} // namespace Platform
