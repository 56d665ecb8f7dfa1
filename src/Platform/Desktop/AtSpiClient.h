#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>
#include <QDBusObjectPath>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace Platform {

// A client of the accessibility bus (AT-SPI 2), spoken to over QtDBus: the calls run on Qt's
// own event loop with a time-out of their own, so an application that hangs costs us at most
// that time-out, and nothing else is needed beside Qt.
class AtSpiClient {
public:
    // An object of one application on the bus.
    struct Element {
        QString service;
        QString path;
        bool isNull() const { return service.isEmpty() || path.isEmpty() || path == u"/org/a11y/atspi/null"; }
        bool operator==(const Element&) const = default;
    };

    // How an application counts text offsets.
    enum class Units { utf16, codePoints };

    // States used here, by their bit in the state set.
    enum State : int {
        stateActive = 1,
        stateEditable = 7,
        stateFocused = 12,
        stateShowing = 25,
        stateVisible = 30,
    };
    static constexpr uint rolePasswordText = 40;

    // Calls to other applications wait this long at most.
    static constexpr int defaultTimeout = 250;

    // Finds the bus through the session bus (which starts it when needed). None when there is
    // no accessibility bus in this session.
    static std::optional<AtSpiClient> connect(int timeoutMs = defaultTimeout);

    QDBusConnection bus() const { return m_bus; }

    // org.a11y.Status.IsEnabled on the session bus: whether applications should expose their
    // interfaces. Setting it is how accessibility is switched on for the session.
    // The bus launcher starts on first use, which may take longer than an application's answer.
    static constexpr int launcherTimeout = 3000;
    static std::optional<bool> isEnabled(int timeoutMs = launcherTimeout);
    static bool setEnabled(bool enabled, int timeoutMs = launcherTimeout);

    QList<Element> applications() const;
    std::optional<qint64> processID(const QString& service) const;
    // The application's root object (the registry's child) of a process; none when it has none.
    std::optional<Element> application(qint64 processID) const;
    QString toolkit(const Element& application) const;
    Units units(const Element& element) const;

    QList<Element> children(const Element& element) const;
    // None for an application's root or an object that names no parent.
    std::optional<Element> parent(const Element& element) const;
    std::optional<uint> role(const Element& element) const;
    std::optional<QString> roleName(const Element& element) const;
    std::optional<quint64> states(const Element& element) const;
    QStringList interfaces(const Element& element) const;
    std::optional<QRect> extents(const Element& element) const; // screen coordinates

    // The focused object among the showing descendants of the application's active window.
    std::optional<Element> focused(const Element& application) const;
    // The deepest object at a screen point in the application's showing windows.
    std::optional<Element> at(const Element& application, QPoint screenPoint) const;

    // Text, offsets in the application's own units.
    std::optional<int> characterCount(const Element& element) const;
    std::optional<QString> text(const Element& element, int start, int end) const;
    // The same without blocking, for a text that may take long: `done` gets the text, or none and
    // the D-Bus error's name, on the calling thread's loop, not at all once `receiver` is gone.
    void textAsync(const Element& element, int start, int end, int timeoutMs, QObject* receiver,
                   std::function<void(std::optional<QString> text, QString error)> done) const;
    // The first selection; (n, n) for none, none when the element has no text.
    std::optional<QPair<int, int>> selection(const Element& element) const;
    std::optional<QRect> rangeExtents(const Element& element, int start, int end) const;
    std::optional<int> caretOffset(const Element& element) const;
    bool setSelection(const Element& element, int start, int end) const;
    bool deleteText(const Element& element, int start, int end) const;
    bool insertText(const Element& element, int position, const QString& text, int length) const;

    // The D-Bus error name of the last call on this thread that failed, empty after a success.
    static QString lastError();

    // The length of a text in the element's units.
    static int length(const QString& text, Units units);

    // From now on, what this client reads is kept until the calling thread's event loop turns
    // (main thread only), so the several questions one handler asks of an object cost one round
    // trip each; anything that changes an application forgets it all at once.
    void keepReadsForOneTurn();
    struct ReadMemo;

private:
    AtSpiClient(QDBusConnection bus, int timeoutMs);
    QDBusMessage ask(const Element& element, const QString& interface, const QString& member,
                     const QVariantList& arguments = {}) const;
    std::optional<QVariant> askProperty(const Element& element, const QString& interface, const QString& name) const;

    QDBusConnection m_bus;
    int m_timeout;
    std::shared_ptr<ReadMemo> m_memo;
};

} // namespace Platform
