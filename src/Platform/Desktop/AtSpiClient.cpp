#include "Platform/Desktop/AtSpiClient.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QVariant>

namespace Platform {
namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString editableInterface = QStringLiteral("org.a11y.atspi.EditableText");
const QString componentInterface = QStringLiteral("org.a11y.atspi.Component");
const QString applicationInterface = QStringLiteral("org.a11y.atspi.Application");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr uint screenCoordinates = 0;
// A walk never visits more objects than this (large documents have thousands).
constexpr int walkLimit = 4000;

std::optional<AtSpiClient::Element> readElement(const QDBusArgument& argument)
{
    AtSpiClient::Element out;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> out.service >> path;
    argument.endStructure();
    out.path = path.path();
    if (out.isNull())
        return std::nullopt;
    return out;
}

// Every integer of a reply, structures flattened: (iiii), four outs, or an array.
void collectInts(const QVariant& value, QList<qint64>& out)
{
    if (value.canConvert<QDBusArgument>() && value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        switch (argument.currentType()) {
        case QDBusArgument::StructureType:
            argument.beginStructure();
            while (!argument.atEnd())
                collectInts(argument.asVariant(), out);
            argument.endStructure();
            return;
        case QDBusArgument::ArrayType:
            argument.beginArray();
            while (!argument.atEnd())
                collectInts(argument.asVariant(), out);
            argument.endArray();
            return;
        default:
            collectInts(argument.asVariant(), out);
            return;
        }
    }
    if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        collectInts(value.value<QDBusVariant>().variant(), out);
        return;
    }
    if (value.metaType() == QMetaType::fromType<QList<uint>>()) {
        for (uint v : value.value<QList<uint>>())
            out.append(v);
        return;
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    if (ok)
        out.append(number);
}

} // namespace

AtSpiClient::AtSpiClient(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus))
    , m_timeout(timeoutMs)
{
}

namespace {

QDBusMessage callSession(const QString& interface, const QString& member, const QVariantList& arguments, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                          interface, member);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, timeoutMs);
}

} // namespace

std::optional<AtSpiClient> AtSpiClient::connect(int timeoutMs)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return std::nullopt;
    // The bus starts on its first use; that can take longer than a call to an application.
    const QDBusMessage reply = callSession(QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"), {}, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QString address = reply.arguments().first().toString();
    if (address.isEmpty())
        return std::nullopt;
    const QString name = QStringLiteral("ambrel-a11y:") + address;
    QDBusConnection bus(name);
    if (!bus.isConnected())
        bus = QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected())
        return std::nullopt;
    return AtSpiClient(bus, timeoutMs);
}

std::optional<bool> AtSpiClient::isEnabled(int timeoutMs)
{
    const QDBusMessage reply = callSession(propertiesInterface, QStringLiteral("Get"),
                                           {QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled")}, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply.arguments().first().value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return value.toBool();
}

bool AtSpiClient::setEnabled(bool enabled, int timeoutMs)
{
    const QDBusMessage reply = callSession(propertiesInterface, QStringLiteral("Set"),
                                           {QStringLiteral("org.a11y.Status"), QStringLiteral("IsEnabled"),
                                            QVariant::fromValue(QDBusVariant(enabled))},
                                           timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

namespace {

thread_local QString lastErrorName;

// Calls that only read.
bool reads(const QString& member)
{
    static const QSet<QString> names{QStringLiteral("GetRole"),     QStringLiteral("GetRoleName"),
                                     QStringLiteral("GetState"),    QStringLiteral("GetInterfaces"),
                                     QStringLiteral("GetChildren"), QStringLiteral("GetExtents"),
                                     QStringLiteral("GetNSelections"), QStringLiteral("GetSelection"),
                                     QStringLiteral("GetText"),     QStringLiteral("GetRangeExtents"),
                                     QStringLiteral("GetAccessibleAtPoint"), QStringLiteral("Get")};
    return names.contains(member);
}

} // namespace

struct AtSpiClient::ReadMemo {
    QHash<QString, QDBusMessage> replies;
    bool clearPosted = false;
};

namespace {

QDBusMessage call(const QDBusConnection& bus, int timeout, const AtSpiClient::Element& element, const QString& interface,
                  const QString& member, const QVariantList& arguments = {},
                  const std::shared_ptr<AtSpiClient::ReadMemo>& memo = {})
{
    QString key;
    const bool kept = memo && QThread::currentThread() == QCoreApplication::instance()->thread();
    if (kept) {
        if (!reads(member)) {
            memo->replies.clear();
        } else {
            key = element.service + u'\n' + element.path + u'\n' + interface + u'\n' + member;
            for (const QVariant& argument : arguments)
                key += u'\n' + argument.toString();
            if (const auto it = memo->replies.constFind(key); it != memo->replies.constEnd()) {
                lastErrorName = it->type() == QDBusMessage::ErrorMessage ? it->errorName() : QString();
                return *it;
            }
        }
    }
    QDBusMessage message = QDBusMessage::createMethodCall(element.service, element.path, interface, member);
    message.setArguments(arguments);
    QDBusMessage reply = bus.call(message, QDBus::Block, timeout);
    lastErrorName = reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
    // A call that timed out is not kept: the next question may be answered.
    if (kept && !key.isEmpty() && lastErrorName != u"org.freedesktop.DBus.Error.NoReply") {
        memo->replies.insert(key, reply);
        if (!memo->clearPosted) {
            memo->clearPosted = true;
            QTimer::singleShot(0, QCoreApplication::instance(), [weak = std::weak_ptr(memo)] {
                if (const auto m = weak.lock()) {
                    m->replies.clear();
                    m->clearPosted = false;
                }
            });
        }
    }
    return reply;
}

bool replied(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

QList<qint64> ints(const QDBusMessage& reply)
{
    QList<qint64> out;
    if (reply.type() == QDBusMessage::ReplyMessage)
        for (const QVariant& value : reply.arguments())
            collectInts(value, out);
    return out;
}

} // namespace

QDBusMessage AtSpiClient::ask(const Element& element, const QString& interface, const QString& member,
                              const QVariantList& arguments) const
{
    return call(m_bus, m_timeout, element, interface, member, arguments, m_memo);
}

std::optional<QVariant> AtSpiClient::askProperty(const Element& element, const QString& interface, const QString& name) const
{
    const QDBusMessage reply = ask(element, propertiesInterface, QStringLiteral("Get"), {interface, name});
    if (!replied(reply))
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

void AtSpiClient::keepReadsForOneTurn()
{
    if (!m_memo)
        m_memo = std::make_shared<ReadMemo>();
}

QList<AtSpiClient::Element> AtSpiClient::applications() const
{
    return children({QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")});
}

std::optional<qint64> AtSpiClient::processID(const QString& service) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("GetConnectionUnixProcessID"));
    message.setArguments({service});
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, m_timeout);
    if (!replied(reply))
        return std::nullopt;
    return qint64(reply.arguments().first().toUInt());
}

std::optional<AtSpiClient::Element> AtSpiClient::application(qint64 pid) const
{
    if (pid <= 0)
        return std::nullopt;
    for (const Element& app : applications())
        if (processID(app.service) == pid)
            return app;
    return std::nullopt;
}

QString AtSpiClient::toolkit(const Element& application) const
{
    const auto name = askProperty({application.service, QStringLiteral("/org/a11y/atspi/accessible/root")},
                               applicationInterface, QStringLiteral("ToolkitName"));
    return name ? name->toString() : QString();
}

AtSpiClient::Units AtSpiClient::units(const Element& element) const
{
    // Qt counts in UTF-16 units like QString; GTK and most others in code points.
    return toolkit(element).compare(u"Qt", Qt::CaseInsensitive) == 0 ? Units::utf16 : Units::codePoints;
}

QList<AtSpiClient::Element> AtSpiClient::children(const Element& element) const
{
    QList<Element> out;
    const QDBusMessage reply = ask(element, accessibleInterface, QStringLiteral("GetChildren"));
    if (!replied(reply))
        return out;
    const QVariant value = reply.arguments().first();
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return out;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd())
        if (auto child = readElement(argument))
            out.append(*child);
    argument.endArray();
    return out;
}

std::optional<AtSpiClient::Element> AtSpiClient::parent(const Element& element) const
{
    const auto value = askProperty(element, accessibleInterface, QStringLiteral("Parent"));
    if (!value || value->metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    return readElement(value->value<QDBusArgument>());
}

std::optional<uint> AtSpiClient::role(const Element& element) const
{
    const QDBusMessage reply = ask(element, accessibleInterface, QStringLiteral("GetRole"));
    if (!replied(reply))
        return std::nullopt;
    return reply.arguments().first().toUInt();
}

std::optional<QString> AtSpiClient::roleName(const Element& element) const
{
    const QDBusMessage reply = ask(element, accessibleInterface, QStringLiteral("GetRoleName"));
    if (!replied(reply))
        return std::nullopt;
    return reply.arguments().first().toString();
}

std::optional<quint64> AtSpiClient::states(const Element& element) const
{
    const QList<qint64> words = ints(ask(element, accessibleInterface, QStringLiteral("GetState")));
    if (words.size() < 2)
        return std::nullopt;
    return quint64(quint32(words[0])) | (quint64(quint32(words[1])) << 32);
}

QStringList AtSpiClient::interfaces(const Element& element) const
{
    const QDBusMessage reply = ask(element, accessibleInterface, QStringLiteral("GetInterfaces"));
    if (!replied(reply))
        return {};
    return reply.arguments().first().toStringList();
}

std::optional<QRect> AtSpiClient::extents(const Element& element) const
{
    const QList<qint64> v = ints(ask(element, componentInterface, QStringLiteral("GetExtents"),
                                      {screenCoordinates}));
    if (v.size() != 4)
        return std::nullopt;
    return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
}

std::optional<AtSpiClient::Element> AtSpiClient::focused(const Element& application) const
{
    auto has = [](quint64 states, State state) { return (states >> state) & 1; };
    QList<Element> windows = children(application);
    // The active window first: that is where the keyboard focus is.
    std::stable_partition(windows.begin(), windows.end(), [&](const Element& w) {
        const auto s = states(w);
        return s && has(*s, stateActive);
    });
    int visited = 0;
    for (const Element& window : windows) {
        QList<Element> stack{window};
        while (!stack.isEmpty() && visited < walkLimit) {
            const Element element = stack.takeLast();
            ++visited;
            const auto s = states(element);
            if (!s)
                continue;
            if (has(*s, stateFocused))
                return element;
            if (!has(*s, stateShowing) && element != window)
                continue; // nothing inside a hidden object can hold the focus
            const QList<Element> kids = children(element);
            for (auto it = kids.crbegin(); it != kids.crend(); ++it)
                stack.append(*it);
        }
    }
    return std::nullopt;
}

std::optional<AtSpiClient::Element> AtSpiClient::at(const Element& application, QPoint point) const
{
    for (const Element& window : children(application)) {
        const auto s = states(window);
        if (!s || !((*s >> stateShowing) & 1))
            continue;
        const auto frame = extents(window);
        if (!frame || !frame->contains(point))
            continue;
        Element current = window;
        for (int depth = 0; depth < 64; ++depth) {
            const QDBusMessage reply = ask(current, componentInterface,
                                            QStringLiteral("GetAccessibleAtPoint"), {point.x(), point.y(), screenCoordinates});
            if (!replied(reply) || reply.arguments().first().metaType() != QMetaType::fromType<QDBusArgument>())
                break;
            const auto child = readElement(reply.arguments().first().value<QDBusArgument>());
            if (!child || *child == current)
                break;
            current = *child;
        }
        return current;
    }
    return std::nullopt;
}

std::optional<int> AtSpiClient::characterCount(const Element& element) const
{
    const auto count = askProperty(element, textInterface, QStringLiteral("CharacterCount"));
    if (!count)
        return std::nullopt;
    bool ok = false;
    const int n = count->toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

std::optional<QString> AtSpiClient::text(const Element& element, int start, int end) const
{
    const QDBusMessage reply = ask(element, textInterface, QStringLiteral("GetText"), {start, end});
    if (!replied(reply))
        return std::nullopt;
    return reply.arguments().first().toString();
}

void AtSpiClient::textAsync(const Element& element, int start, int end, int timeoutMs, QObject* receiver,
                            std::function<void(std::optional<QString>, QString)> done) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(element.service, element.path, textInterface, QStringLiteral("GetText"));
    message.setArguments({start, end});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, timeoutMs),
                                                receiver ? receiver : QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [done = std::move(done)](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (!replied(reply)) {
            done(std::nullopt, reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QStringLiteral("org.freedesktop.DBus.Error.Failed"));
            return;
        }
        done(reply.arguments().first().toString(), QString());
    });
}

std::optional<QPair<int, int>> AtSpiClient::selection(const Element& element) const
{
    const QList<qint64> count = ints(ask(element, textInterface, QStringLiteral("GetNSelections")));
    if (count.size() != 1)
        return std::nullopt;
    if (count[0] <= 0) {
        const int caret = caretOffset(element).value_or(0);
        return QPair<int, int>(caret, caret);
    }
    const QList<qint64> range = ints(ask(element, textInterface, QStringLiteral("GetSelection"), {0}));
    if (range.size() != 2)
        return std::nullopt;
    return QPair<int, int>(int(std::min(range[0], range[1])), int(std::max(range[0], range[1])));
}

std::optional<QRect> AtSpiClient::rangeExtents(const Element& element, int start, int end) const
{
    const QList<qint64> v = ints(ask(element, textInterface, QStringLiteral("GetRangeExtents"),
                                      {start, end, screenCoordinates}));
    if (v.size() != 4)
        return std::nullopt;
    return QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
}

std::optional<int> AtSpiClient::caretOffset(const Element& element) const
{
    const auto offset = askProperty(element, textInterface, QStringLiteral("CaretOffset"));
    if (!offset)
        return std::nullopt;
    return offset->toInt();
}

bool AtSpiClient::setSelection(const Element& element, int start, int end) const
{
    const QList<qint64> count = ints(ask(element, textInterface, QStringLiteral("GetNSelections")));
    const QString member = !count.isEmpty() && count[0] > 0 ? QStringLiteral("SetSelection") : QStringLiteral("AddSelection");
    const QVariantList arguments = member == u"SetSelection" ? QVariantList{0, start, end} : QVariantList{start, end};
    const QDBusMessage reply = ask(element, textInterface, member, arguments);
    return replied(reply) && reply.arguments().first().toBool();
}

bool AtSpiClient::deleteText(const Element& element, int start, int end) const
{
    const QDBusMessage reply = ask(element, editableInterface, QStringLiteral("DeleteText"), {start, end});
    return replied(reply) && reply.arguments().first().toBool();
}

bool AtSpiClient::insertText(const Element& element, int position, const QString& text, int length) const
{
    const QDBusMessage reply = ask(element, editableInterface, QStringLiteral("InsertText"),
                                    {position, text, length});
    return replied(reply) && reply.arguments().first().toBool();
}

QString AtSpiClient::lastError()
{
    return lastErrorName;
}

int AtSpiClient::length(const QString& text, Units units)
{
    if (units == Units::utf16)
        return int(text.size());
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

} // namespace Platform
