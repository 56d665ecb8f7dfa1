#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

typedef union _XEvent XEvent;

namespace Platform {

class X11Connection;

// Reading and holding X selections (PRIMARY, CLIPBOARD) without Qt's clipboard, whose reads
// block the event loop for as long as a hung owner makes them.
namespace X11Selection {

// One format of a selection as its owner gives it.
struct Format {
    QByteArray target; // "UTF8_STRING", "text/html", ...
    QByteArray type;   // the property type the owner answered with
    int format = 8;    // 8, 16 or 32 bits per item
    QByteArray data;   // 32-bit items as the server sends them (4 bytes each)
    bool operator==(const Format&) const = default;
};

// Targets that describe the selection rather than hold its contents.
bool isPseudoTarget(const QByteArray& target);

// Reads the selection's text on a connection of its own; blocks the calling thread for at most
// the time-out for the owner's answer, and as long again for each piece of a large one that it
// sends in pieces (a minute at most in all). None when nobody owns the selection, the owner
// offers no text or did not answer in time, and when `wanted` says no more between two pieces.
std::optional<QString> readText(const char* selection, int timeoutMs, const std::function<bool()>& wanted = {});
// Every format of the selection but the pseudo ones; none when it could not be read.
std::optional<QList<Format>> readAll(const char* selection, int timeoutMs);

// readText off the calling thread; the answer is delivered on the context's thread. Only the
// latest such read goes on past its first piece: a newer one, or the application's quit, ends it
// with none.
void readTextAsync(const char* selection, int timeoutMs, QObject* context,
                   std::function<void(std::optional<QString>)> done);

} // namespace X11Selection

// Owns a selection on the shared connection and hands out the formats it holds to whoever asks,
// until another client takes the selection.
class X11SelectionOwner final : public QObject {
    Q_OBJECT
public:
    X11SelectionOwner(std::shared_ptr<X11Connection> connection, const char* selection, QObject* parent = nullptr);
    ~X11SelectionOwner() override;

    // Takes the selection with these formats; false when the server did not give it to us.
    bool own(const QList<X11Selection::Format>& formats);
    bool owns() const { return m_owning; }
    // Gives the selection up (it is then owned by nobody).
    void release();

signals:
    // Another client read one of our formats (not a pseudo target).
    void delivered(const QByteArray& target);
    // Another client became the owner.
    void lost();

private:
    void handle(const XEvent& event);

    std::shared_ptr<X11Connection> m_x;
    unsigned long m_selection = 0;
    unsigned long m_window = 0;
    int m_listener = 0;
    bool m_owning = false;
    unsigned long m_time = 0;
    QList<X11Selection::Format> m_formats;
};

} // namespace Platform
