#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

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
};

// Hands out the general pasteboard and named ones.
class Pasteboards {
public:
    virtual ~Pasteboards() = default;
    virtual std::shared_ptr<Pasteboard> general() = 0;
    virtual std::shared_ptr<Pasteboard> named(const QString& name) = 0;
};

} // namespace Platform
