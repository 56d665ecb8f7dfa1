#include "Platform/Simulated/SimulatedAccessibility.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace Platform {

namespace {
const QString service = QStringLiteral("simulated");

bool containsHalfOpen(const QRectF& r, const QPointF& p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}
} // namespace

bool SimulatedAccessibility::promptForTrust()
{
    ++calls;
    return m_trusted;
}

AccessibilityElement SimulatedAccessibility::addElement(Attributes attributes, QRectF hitArea, AccessibilityElement parent,
                                                        const QString& application)
{
    const bool below = !parent.isNull() && m_nodes.contains(parent.path);
    const QString owner = below ? parent.service : application.isEmpty() ? service : application;
    AccessibilityElement handle{owner, QStringLiteral("/element/%1").arg(m_next++)};
    Node node;
    node.self = handle;
    node.attributes = std::move(attributes);
    node.hitArea = hitArea;
    node.parent = parent;
    m_nodes.insert(handle.path, node);
    if (below)
        m_nodes[parent.path].children.append(handle);
    else
        m_roots.append(handle);
    return handle;
}

void SimulatedAccessibility::removeElement(const AccessibilityElement& element)
{
    auto it = m_nodes.find(element.path);
    if (it == m_nodes.end())
        return;
    const QList<AccessibilityElement> children = it->children;
    const AccessibilityElement parent = it->parent;
    for (const auto& child : children)
        removeElement(child);
    m_nodes.remove(element.path);
    m_roots.removeAll(element);
    if (m_nodes.contains(parent.path))
        m_nodes[parent.path].children.removeAll(element);
    if (m_focused == element)
        m_focused.reset();
}

void SimulatedAccessibility::setAttribute(const AccessibilityElement& element, const QString& name, QVariant value)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].attributes.insert(name, std::move(value));
}

void SimulatedAccessibility::removeAttribute(const AccessibilityElement& element, const QString& name)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].attributes.remove(name);
}

std::optional<QVariant> SimulatedAccessibility::attribute(const AccessibilityElement& element, const QString& name) const
{
    auto it = m_nodes.constFind(element.path);
    if (it == m_nodes.constEnd() || !it->attributes.contains(name))
        return std::nullopt;
    return it->attributes.value(name);
}

void SimulatedAccessibility::setSettable(const AccessibilityElement& element, const QString& name, bool settable)
{
    if (!m_nodes.contains(element.path))
        return;
    if (settable)
        m_nodes[element.path].settable.insert(name);
    else
        m_nodes[element.path].settable.remove(name);
}

void SimulatedAccessibility::setAttributeNames(const AccessibilityElement& element, QStringList names)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].names = std::move(names);
}

void SimulatedAccessibility::setRangeBounds(const AccessibilityElement& element, QRectF bounds)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].rangeBounds = bounds;
}

void SimulatedAccessibility::setText(const AccessibilityElement& element, const QString& value, TextRange selection)
{
    const qint64 start = qBound<qint64>(0, selection.location, value.size());
    const qint64 length = qBound<qint64>(0, selection.length, value.size() - start);
    setAttribute(element, QString::fromLatin1(valueAttribute), value);
    setAttribute(element, QString::fromLatin1(selectedTextRangeAttribute), QVariant::fromValue(TextRange{start, length}));
    setAttribute(element, QString::fromLatin1(selectedTextAttribute), value.mid(start, length));
    setAttribute(element, QString::fromLatin1(numberOfCharactersAttribute), QVariant(qint64(value.size())));
}

void SimulatedAccessibility::failRead(const AccessibilityElement& element, const QString& name, Failure failure)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].readFailures.insert(name, failure);
}

void SimulatedAccessibility::failWrite(const AccessibilityElement& element, const QString& name, Failure failure)
{
    if (m_nodes.contains(element.path))
        m_nodes[element.path].writeFailures.insert(name, failure);
}

void SimulatedAccessibility::clearFailures()
{
    for (auto& node : m_nodes) {
        node.readFailures.clear();
        node.writeFailures.clear();
    }
    m_focusFailure.reset();
    m_hitFailure.reset();
}

std::optional<Accessibility::Failure> SimulatedAccessibility::readFailure(const AccessibilityElement& element, const QString& name)
{
    if (!m_trusted)
        return Failure::notTrusted;
    auto it = m_nodes.constFind(element.path);
    if (it == m_nodes.constEnd() || element != it->self)
        return Failure::invalidElement;
    if (it->readFailures.contains(name))
        return it->readFailures.value(name);
    if (it->readFailures.contains(QString::fromLatin1(anyAttribute)))
        return it->readFailures.value(QString::fromLatin1(anyAttribute));
    return std::nullopt;
}

std::expected<QVariant, Accessibility::Failure> SimulatedAccessibility::read(const AccessibilityElement& element, const QString& name)
{
    ++calls;
    ++reads[name];
    if (auto failure = readFailure(element, name))
        return std::unexpected(*failure);
    const Node& node = m_nodes[element.path];
    if (!node.attributes.contains(name)) {
        if (name == QLatin1String(parentAttribute) && !node.parent.isNull())
            return QVariant::fromValue(node.parent);
        return std::unexpected(Failure::noValue);
    }
    return node.attributes.value(name);
}

std::expected<AccessibilityElement, Accessibility::Failure> SimulatedAccessibility::focusedElement()
{
    ++calls;
    if (!m_trusted)
        return std::unexpected(Failure::notTrusted);
    if (m_focusFailure)
        return std::unexpected(*m_focusFailure);
    if (!m_focused)
        return std::unexpected(Failure::noValue);
    return *m_focused;
}

std::optional<AccessibilityElement> SimulatedAccessibility::hit(const QList<AccessibilityElement>& candidates, const QPointF& point) const
{
    for (auto it = candidates.crbegin(); it != candidates.crend(); ++it) {
        const Node& node = m_nodes[it->path];
        if (!containsHalfOpen(node.hitArea, point))
            continue;
        if (auto deeper = hit(node.children, point))
            return deeper;
        return *it;
    }
    return std::nullopt;
}

std::expected<AccessibilityElement, Accessibility::Failure> SimulatedAccessibility::elementAt(const QPointF& point)
{
    ++calls;
    if (!m_trusted)
        return std::unexpected(Failure::notTrusted);
    if (m_hitTestTime.count() > 0)
        QThread::msleep(static_cast<unsigned long>(m_hitTestTime.count()));
    if (m_hitFailure)
        return std::unexpected(*m_hitFailure);
    if (auto found = hit(m_roots, point))
        return *found;
    return std::unexpected(Failure::noValue);
}

std::expected<QString, Accessibility::Failure> SimulatedAccessibility::stringAttribute(const AccessibilityElement& element, const QString& name)
{
    auto value = read(element, name);
    if (!value)
        return std::unexpected(value.error());
    if (value->typeId() != QMetaType::QString)
        return std::unexpected(Failure::wrongType);
    return value->toString();
}

std::expected<TextRange, Accessibility::Failure> SimulatedAccessibility::rangeAttribute(const AccessibilityElement& element, const QString& name)
{
    auto value = read(element, name);
    if (!value)
        return std::unexpected(value.error());
    if (!value->canConvert<TextRange>() || value->typeId() != qMetaTypeId<TextRange>())
        return std::unexpected(Failure::wrongType);
    return value->value<TextRange>();
}

std::expected<QRectF, Accessibility::Failure> SimulatedAccessibility::rectAttribute(const AccessibilityElement& element, const QString& name)
{
    auto value = read(element, name);
    if (!value)
        return std::unexpected(value.error());
    if (value->typeId() != QMetaType::QRectF)
        return std::unexpected(Failure::wrongType);
    return value->toRectF();
}

std::expected<AccessibilityElement, Accessibility::Failure> SimulatedAccessibility::elementAttribute(const AccessibilityElement& element, const QString& name)
{
    auto value = read(element, name);
    if (!value)
        return std::unexpected(value.error());
    if (value->typeId() != qMetaTypeId<AccessibilityElement>())
        return std::unexpected(Failure::wrongType);
    return value->value<AccessibilityElement>();
}

std::expected<QStringList, Accessibility::Failure> SimulatedAccessibility::attributeNames(const AccessibilityElement& element)
{
    ++calls;
    if (auto failure = readFailure(element, QString()))
        return std::unexpected(*failure);
    const Node& node = m_nodes[element.path];
    if (node.names)
        return *node.names;
    QStringList names = node.attributes.keys();
    names.sort();
    return names;
}

std::expected<QRectF, Accessibility::Failure> SimulatedAccessibility::boundsForRange(const AccessibilityElement& element, const TextRange&)
{
    ++calls;
    if (auto failure = readFailure(element, QString::fromLatin1(boundsForRangeAttribute)))
        return std::unexpected(*failure);
    const Node& node = m_nodes[element.path];
    if (!node.rangeBounds)
        return std::unexpected(Failure::noValue);
    return *node.rangeBounds;
}

std::expected<Accessibility::TextPart, Accessibility::Failure> SimulatedAccessibility::selectedTextPart(
    const AccessibilityElement& element, qint64 limit)
{
    const auto text = stringAttribute(element, QString::fromLatin1(selectedTextAttribute));
    if (!text)
        return std::unexpected(text.error());
    return partOf(*text, limit, true);
}

void SimulatedAccessibility::readSelectedText(const AccessibilityElement& element, QObject* receiver, TextDone done)
{
    ++calls;
    ++wholeTextReads;
    const QString name = QString::fromLatin1(selectedTextAttribute);
    std::expected<QString, Failure> answer = std::unexpected(Failure::noValue);
    if (const auto failure = readFailure(element, name))
        answer = std::unexpected(*failure);
    else if (const auto value = m_nodes[element.path].attributes.value(name); value.typeId() == QMetaType::QString)
        answer = value.toString();
    else if (m_nodes[element.path].attributes.contains(name))
        answer = std::unexpected(Failure::wrongType);
    QPointer<QObject> alive(receiver);
    QPointer<SimulatedAccessibility> self(this);
    QTimer::singleShot(m_wholeTextTime, Qt::PreciseTimer, QCoreApplication::instance(),
                       [self, alive, receiver, done = std::move(done), answer = std::move(answer)] {
                           if (self)
                               ++self->wholeTextAnswers;
                           if (alive || !receiver)
                               done(answer);
                       });
}

std::expected<bool, Accessibility::Failure> SimulatedAccessibility::isAttributeSettable(const AccessibilityElement& element, const QString& name)
{
    ++calls;
    if (auto failure = readFailure(element, name))
        return std::unexpected(*failure);
    return m_nodes[element.path].settable.contains(name);
}

std::expected<void, Accessibility::Failure> SimulatedAccessibility::setStringAttribute(const AccessibilityElement& element, const QString& name,
                                                                                        const QString& value)
{
    ++calls;
    if (!m_trusted)
        return std::unexpected(Failure::notTrusted);
    auto it = m_nodes.find(element.path);
    if (it == m_nodes.end() || element != it->self)
        return std::unexpected(Failure::invalidElement);
    if (it->writeFailures.contains(name))
        return std::unexpected(it->writeFailures.value(name));
    if (it->writeFailures.contains(QString::fromLatin1(anyAttribute)))
        return std::unexpected(it->writeFailures.value(QString::fromLatin1(anyAttribute)));
    if (!it->settable.contains(name))
        return std::unexpected(Failure::notSettable);
    writes.append({element, name, value});
    const QString selected = QString::fromLatin1(selectedTextAttribute);
    const QString rangeName = QString::fromLatin1(selectedTextRangeAttribute);
    const QString valueName = QString::fromLatin1(valueAttribute);
    if (name == selected && it->attributes.contains(valueName) && it->attributes.contains(rangeName)) {
        const QString old = it->attributes.value(valueName).toString();
        const TextRange range = it->attributes.value(rangeName).value<TextRange>();
        QString edited = old;
        edited.replace(int(range.location), int(range.length), value);
        setText(element, edited, {range.location + value.size(), 0});
    } else {
        it->attributes.insert(name, value);
    }
    return {};
}

} // namespace Platform
