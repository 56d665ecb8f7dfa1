#pragma once

#include "Platform/HotKeys.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// One system-wide keyboard shortcut that runs an action on the main thread, one turn of the
// event loop after the press.
class GlobalHotKey : public QObject {
    Q_OBJECT
public:
    // A key with modifiers, as stored under "shortcut.newFile": {"keyCode": n, "modifiers": m}.
    struct Combination {
        static constexpr quint32 command = 0x100;
        static constexpr quint32 shift = 0x200;
        static constexpr quint32 option = 0x800;
        static constexpr quint32 control = 0x1000;
        // Without one of these a combination is not a shortcut; shift alone is not enough.
        static constexpr quint32 requiredModifiers = command | option | control;

        quint32 keyCode = 0;   // the key's virtual code (A 0, S 1, ..., see keyName)
        quint32 modifiers = 0; // the bits above

        bool operator==(const Combination&) const = default;

        // From a key press: Ctrl counts as command, Alt as option, Meta as control (the usual
        // mapping of these keyboards). None when neither command, option nor control is held, or
        // when the key has no code.
        static std::optional<Combination> fromKeyPress(int qtKey, Qt::KeyboardModifiers modifiers);
        // The key's code for a Qt key, when it has one.
        static std::optional<quint32> keyCodeForKey(int qtKey);

        // The keys held, as this keyboard names them (Ctrl, Alt, Shift, Super), then the key's
        // name, or "?", joined by "+": what a press of Ctrl+Alt+N recorded reads as.
        QString displayString() const;
        static std::optional<QString> keyName(quint32 keyCode);

        QJsonObject toJson() const;
        QByteArray toJsonData() const;
        // None unless both members are whole numbers within 32 unsigned bits.
        static std::optional<Combination> fromJson(const QJsonValue& value);
        static std::optional<Combination> fromJsonData(const QByteArray& data);
    };

    // The signature every registration carries: the characters "ZQKY".
    static constexpr quint32 signature = (quint32('Z') << 24) | (quint32('Q') << 16) | (quint32('K') << 8) | quint32('Y');

    // Takes the next identifier (1, 2, ...) and enters itself in the registry of hot keys.
    explicit GlobalHotKey(std::shared_ptr<Platform::HotKeys> hotKeys, QObject* parent = nullptr);
    ~GlobalHotKey() override;

    // Replaces whatever was registered. False, with nothing registered, when the combination has
    // no command, option or control (the system is not asked) or the system refuses it.
    bool registerHotKey(const Combination& combination, std::function<void()> action);
    // Safe when nothing is registered.
    void unregister();

    quint32 identifier() const { return m_identifier; }
    bool isRegistered() const { return m_reference.has_value(); }

private:
    void handlePress(Platform::HotKeys::Identifier identifier);
    static void dispatch(quint32 identifier);

    std::shared_ptr<Platform::HotKeys> m_hotKeys;
    std::optional<Platform::HotKeys::Reference> m_reference;
    QMetaObject::Connection m_handler;
    quint32 m_identifier;
    std::function<void()> m_action;
};
