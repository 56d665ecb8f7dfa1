#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Platform {

// One item of a pasteboard: its representations in order, each a type and its bytes.
struct PasteboardItem {
    QList<QPair<QString, QByteArray>> representations;

    QStringList types() const;
    std::optional<QByteArray> data(const QString& type) const;
    void setData(const QString& type, const QByteArray& data);
    bool operator==(const PasteboardItem&) const = default;
};

// A general or named pasteboard. Types are the system's type identifiers.
class Pasteboard {
public:
    static constexpr auto typeString = "public.utf8-plain-text";
    static constexpr auto typeHTML = "public.html";
    static constexpr auto typeRTF = "public.rtf";
    static constexpr auto typeFileURL = "public.file-url";
    static constexpr auto typeURL = "public.url";
    static constexpr auto typePNG = "public.png";

    virtual ~Pasteboard() = default;

    // Grows by one whenever the contents change, from this process or another.
    virtual qint64 changeCount() const = 0;
    virtual QList<PasteboardItem> items() const = 0;
    // Replaces the contents; an empty list clears the pasteboard. Answers the new change count;
    // a write the pasteboard refused leaves contents and change count as they were.
    virtual qint64 writeItems(const QList<PasteboardItem>& items) = 0;

    qint64 clearContents() { return writeItems({}); }
    std::optional<QString> string() const;
    qint64 setString(const QString& text);
    std::optional<QByteArray> data(const QString& type) const; // of the first item having it

    // Whether this pasteboard can tell when another program read what this process wrote.
    virtual bool reportsFetches() const { return false; }
    // Calls `done` once on the context's thread: true as soon as another program has read the
    // contents this process wrote last, false when `timeout` passed first. A pasteboard that
    // cannot tell waits the whole time-out. Nothing is called once the context is gone.
    virtual void whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done);
};

// Hands out the general pasteboard and named ones.
class Pasteboards {
public:
    virtual ~Pasteboards() = default;
    virtual std::shared_ptr<Pasteboard> general() = 0;
    virtual std::shared_ptr<Pasteboard> named(const QString& name) = 0;

    // The text the user selected last where the system keeps it apart from the general
    // pasteboard (X11's primary selection, which applications fill when a selection is made):
    // reading it sends no keystroke and leaves the pasteboard alone. False where there is none.
    virtual bool hasSelectionBuffer() const { return false; }
    // Grows whenever a program takes the selection buffer (a new selection somewhere).
    virtual qint64 selectionBufferChangeCount() const { return 0; }
    // Whether the program holding the selection buffer is the one owning this window (a window
    // list number): a program that already holds it may keep it through a new selection without
    // taking it again. False when nobody holds it or it cannot be told.
    virtual bool selectionBufferHeldByOwnerOf(quint32 window) const
    {
        (void)window;
        return false;
    }
    // Its text, read without blocking this thread; `done` is called once on the context's thread,
    // with none when nobody holds text there or its holder did not answer in time.
    virtual void readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done);
};

} // namespace Platform
