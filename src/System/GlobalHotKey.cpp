#include "System/GlobalHotKey.h"

#include "SecurityCore/PrivacyLog.h"

#include <QHash>
#include <QJsonDocument>
#include <QStringList>
#include <QPointer>

#include <cmath>
#include <utility>

namespace {

const PrivacyLog::Logger& log()
{
    static const PrivacyLog::Logger logger = PrivacyLog::logger(QStringLiteral("GlobalHotKey"));
    return logger;
}

quint32 nextIdentifier = 1;

// Every hot key ever made, by identifier; a destroyed one resolves to nothing.
QHash<quint32, QPointer<GlobalHotKey>>& registry()
{
    static QHash<quint32, QPointer<GlobalHotKey>> entries;
    return entries;
}

struct NamedKey {
    const char* name;
    quint32 code;
    int qtKey;
};

// The keys that have names, with their codes.
constexpr NamedKey namedKeys[] = {
    {"A", 0, Qt::Key_A},      {"B", 11, Qt::Key_B},    {"C", 8, Qt::Key_C},     {"D", 2, Qt::Key_D},
    {"E", 14, Qt::Key_E},     {"F", 3, Qt::Key_F},     {"G", 5, Qt::Key_G},     {"H", 4, Qt::Key_H},
    {"I", 34, Qt::Key_I},     {"J", 38, Qt::Key_J},    {"K", 40, Qt::Key_K},    {"L", 37, Qt::Key_L},
    {"M", 46, Qt::Key_M},     {"N", 45, Qt::Key_N},    {"O", 31, Qt::Key_O},    {"P", 35, Qt::Key_P},
    {"Q", 12, Qt::Key_Q},     {"R", 15, Qt::Key_R},    {"S", 1, Qt::Key_S},     {"T", 17, Qt::Key_T},
    {"U", 32, Qt::Key_U},     {"V", 9, Qt::Key_V},     {"W", 13, Qt::Key_W},    {"X", 7, Qt::Key_X},
    {"Y", 16, Qt::Key_Y},     {"Z", 6, Qt::Key_Z},
    {"0", 29, Qt::Key_0},     {"1", 18, Qt::Key_1},    {"2", 19, Qt::Key_2},    {"3", 20, Qt::Key_3},
    {"4", 21, Qt::Key_4},     {"5", 23, Qt::Key_5},    {"6", 22, Qt::Key_6},    {"7", 26, Qt::Key_7},
    {"8", 28, Qt::Key_8},     {"9", 25, Qt::Key_9},
    {"Space", 49, Qt::Key_Space}, {"Return", 36, Qt::Key_Return}, {"Tab", 48, Qt::Key_Tab},
    {"Esc", 53, Qt::Key_Escape}, {"\u2190", 123, Qt::Key_Left}, {"\u2192", 124, Qt::Key_Right},
    {"\u2193", 125, Qt::Key_Down}, {"\u2191", 126, Qt::Key_Up},
    {"Backspace", 51, Qt::Key_Backspace}, {"Delete", 117, Qt::Key_Delete},
    {"F1", 122, Qt::Key_F1},  {"F2", 120, Qt::Key_F2}, {"F3", 99, Qt::Key_F3},  {"F4", 118, Qt::Key_F4},
    {"F5", 96, Qt::Key_F5},   {"F6", 97, Qt::Key_F6},  {"F7", 98, Qt::Key_F7},  {"F8", 100, Qt::Key_F8},
    {"F9", 101, Qt::Key_F9},  {"F10", 109, Qt::Key_F10}, {"F11", 103, Qt::Key_F11}, {"F12", 111, Qt::Key_F12},
};

// With shift held, the digit keys of these keyboards report their symbols.
constexpr std::pair<int, int> shiftedDigits[] = {
    {Qt::Key_Exclam, Qt::Key_1},     {Qt::Key_At, Qt::Key_2},          {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},     {Qt::Key_Percent, Qt::Key_5},     {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},  {Qt::Key_Asterisk, Qt::Key_8},    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
};

std::optional<quint32> unsigned32(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d < 0 || d > 4294967295.0 || std::trunc(d) != d)
        return std::nullopt;
    return quint32(d);
}

} // namespace

std::optional<quint32> GlobalHotKey::Combination::keyCodeForKey(int qtKey)
{
    for (const auto& [symbol, digit] : shiftedDigits)
        if (symbol == qtKey)
            qtKey = digit;
    for (const NamedKey& key : namedKeys)
        if (key.qtKey == qtKey)
            return key.code;
    return std::nullopt;
}

std::optional<GlobalHotKey::Combination> GlobalHotKey::Combination::fromKeyPress(int qtKey, Qt::KeyboardModifiers held)
{
    quint32 bits = 0;
    if (held & Qt::ControlModifier)
        bits |= command;
    if (held & Qt::AltModifier)
        bits |= option;
    if (held & Qt::MetaModifier)
        bits |= control;
    if (held & Qt::ShiftModifier)
        bits |= shift;
    if (!(bits & requiredModifiers))
        return std::nullopt;
    const auto code = keyCodeForKey(qtKey);
    if (!code)
        return std::nullopt;
    return Combination{*code, bits};
}

std::optional<QString> GlobalHotKey::Combination::keyName(quint32 code)
{
    for (const NamedKey& key : namedKeys)
        if (key.code == code)
            return QString::fromUtf8(key.name);
    return std::nullopt;
}

QString GlobalHotKey::Combination::displayString() const
{
    // Named after the keys of this keyboard that make each bit (see fromKeyPress), in the order
    // the desktop writes them, so that Ctrl+Alt+N reads as what was pressed.
    QStringList parts;
    if (modifiers & command)
        parts << QStringLiteral("Ctrl");
    if (modifiers & option)
        parts << QStringLiteral("Alt");
    if (modifiers & shift)
        parts << QStringLiteral("Shift");
    if (modifiers & control)
        parts << QStringLiteral("Super");
    parts << keyName(keyCode).value_or(QStringLiteral("?"));
    return parts.join(u'+');
}

QJsonObject GlobalHotKey::Combination::toJson() const
{
    return QJsonObject{{QStringLiteral("keyCode"), qint64(keyCode)}, {QStringLiteral("modifiers"), qint64(modifiers)}};
}

QByteArray GlobalHotKey::Combination::toJsonData() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<GlobalHotKey::Combination> GlobalHotKey::Combination::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto code = unsigned32(o.value(QStringLiteral("keyCode")));
    const auto bits = unsigned32(o.value(QStringLiteral("modifiers")));
    if (!code || !bits)
        return std::nullopt;
    return Combination{*code, *bits};
}

std::optional<GlobalHotKey::Combination> GlobalHotKey::Combination::fromJsonData(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return fromJson(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue());
}

GlobalHotKey::GlobalHotKey(std::shared_ptr<Platform::HotKeys> hotKeys, QObject* parent)
    : QObject(parent)
    , m_hotKeys(std::move(hotKeys))
    , m_identifier(nextIdentifier++)
{
    registry().insert(m_identifier, this);
}

GlobalHotKey::~GlobalHotKey()
{
    // Leave no registration behind with the system; the registry entry now resolves to nothing.
    unregister();
}

bool GlobalHotKey::registerHotKey(const Combination& combination, std::function<void()> action)
{
    unregister();
    if (!(combination.modifiers & Combination::requiredModifiers))
        return false;

    m_action = std::move(action);
    m_handler = connect(m_hotKeys.get(), &Platform::HotKeys::pressed, this, &GlobalHotKey::handlePress);
    const auto reference = m_hotKeys->registerHotKey(combination.keyCode, combination.modifiers,
                                                     {signature, m_identifier});
    if (!reference) {
        log().error(QStringLiteral("Shortcut refused by the system: %1").arg(reference.error()));
        unregister();
        return false;
    }
    m_reference = *reference;
    return true;
}

void GlobalHotKey::unregister()
{
    if (m_reference)
        m_hotKeys->unregisterHotKey(*m_reference);
    if (m_handler)
        disconnect(m_handler);
    m_reference.reset();
    m_handler = {};
    m_action = nullptr;
}

void GlobalHotKey::handlePress(Platform::HotKeys::Identifier pressed)
{
    // Each object's handler sees every press; the one whose identifier it is takes it, so a press
    // runs one action however many hot keys exist. The action runs one turn later, never inside
    // the system's callback.
    if (pressed.id != m_identifier)
        return;
    const quint32 id = pressed.id;
    QMetaObject::invokeMethod(m_hotKeys.get(), [id] { dispatch(id); }, Qt::QueuedConnection);
}

void GlobalHotKey::dispatch(quint32 identifier)
{
    const auto it = registry().constFind(identifier);
    if (it == registry().cend() || it->isNull())
        return;
    GlobalHotKey* key = it->data();
    if (key->m_action) {
        const auto action = key->m_action; // the action may replace or clear itself
        action();
    }
}
