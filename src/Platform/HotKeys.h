#pragma once

#include <QObject>

#include <expected>

namespace Platform {

// System-wide hot keys: a key combination that reaches this application whichever application is
// in front. Modifier bits: command 0x100, shift 0x200, option 0x800, control 0x1000.
class HotKeys : public QObject {
    Q_OBJECT
public:
    // What a registration is known by, and what a press reports.
    struct Identifier {
        quint32 signature = 0; // four characters, the first in the most significant byte
        quint32 id = 0;
        bool operator==(const Identifier&) const = default;
    };
    using Reference = quint64;

    // Why the system refused a registration (never 0).
    enum Status : int {
        statusTaken = -1,       // another program holds the combination
        statusUnavailable = -2, // this system offers no system-wide hot keys
    };

    using QObject::QObject;

    // The reference of the new registration, or the system's refusal status.
    virtual std::expected<Reference, int> registerHotKey(quint32 keyCode, quint32 modifiers, Identifier identifier) = 0;
    virtual void unregisterHotKey(Reference reference) = 0;

signals:
    // A registered combination was pressed; delivered on the main thread.
    void pressed(Platform::HotKeys::Identifier identifier);
};

} // namespace Platform
