// The client-identifier mask of the connection is read from the display structure.
#define XLIB_ILLEGAL_ACCESS
#include "Platform/Desktop/DesktopPasteboards.h"

#include "Platform/Desktop/X11Connection.h"
#include "Platform/Desktop/X11Selection.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMimeData>
#include <QSaveFile>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace Platform {
namespace {

const QList<QPair<QString, QString>>& typeMap()
{
    static const QList<QPair<QString, QString>> map{
        {QString::fromLatin1(Pasteboard::typeString), QStringLiteral("text/plain")},
        {QString::fromLatin1(Pasteboard::typeHTML), QStringLiteral("text/html")},
        {QString::fromLatin1(Pasteboard::typeRTF), QStringLiteral("text/rtf")},
        {QString::fromLatin1(Pasteboard::typeFileURL), QStringLiteral("text/uri-list")},
        {QString::fromLatin1(Pasteboard::typePNG), QStringLiteral("image/png")},
    };
    return map;
}

// Clipboard data that tells whenever a program asks for one of its formats: Qt serves other
// programs' requests from it, on the main thread.
class FetchReportingMimeData final : public QMimeData {
public:
    explicit FetchReportingMimeData(std::weak_ptr<QObject> fetches)
        : m_fetches(std::move(fetches))
    {
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (auto fetches = m_fetches.lock())
            QMetaObject::invokeMethod(fetches.get(), "fetched", Qt::QueuedConnection);
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::weak_ptr<QObject> m_fetches;
};

} // namespace

// The object behind fetch reports: a dynamic "fetched" method without a moc'd class of its own.
class ClipboardFetches final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void fetched() { emit wasFetched(); }
signals:
    void wasFetched();
};

QString ClipboardPasteboard::mimeType(const QString& type)
{
    for (const auto& [t, m] : typeMap())
        if (t == type)
            return m;
    return type;
}

QString ClipboardPasteboard::pasteboardType(const QString& mime)
{
    for (const auto& [t, m] : typeMap())
        if (m == mime)
            return t;
    return mime;
}

ClipboardPasteboard::ClipboardPasteboard(QClipboard* clipboard)
    : m_clipboard(clipboard)
    , m_changeCount(std::make_shared<qint64>(0))
    , m_fetches(std::make_shared<ClipboardFetches>())
{
    QObject::connect(m_clipboard, &QClipboard::changed, m_clipboard, [count = m_changeCount](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++*count;
    });
}

QList<PasteboardItem> ClipboardPasteboard::items() const
{
    const QMimeData* mime = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!mime)
        return {};
    if (m_writtenData && mime == m_writtenData.data())
        return m_written;
    PasteboardItem item;
    for (const auto& format : mime->formats()) {
        if (format.startsWith(u"text/plain") && item.data(QString::fromLatin1(typeString)))
            continue;
        QByteArray bytes = mime->data(format);
        if (format.startsWith(u"text/plain"))
            bytes = mime->text().toUtf8();
        item.setData(pasteboardType(format.startsWith(u"text/plain") ? QStringLiteral("text/plain") : format), bytes);
    }
    if (item.representations.isEmpty())
        return {};
    return {item};
}

qint64 ClipboardPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (items.isEmpty()) {
        m_clipboard->clear(QClipboard::Clipboard);
        m_written.clear();
        m_writtenData = nullptr;
    } else {
        auto* mime = new FetchReportingMimeData(m_fetches);
        for (const auto& [type, bytes] : items.first().representations) {
            if (type == QLatin1String(typeString))
                mime->setText(QString::fromUtf8(bytes));
            else
                mime->setData(mimeType(type), bytes);
        }
        m_clipboard->setMimeData(mime, QClipboard::Clipboard);
        m_written = items;
        m_writtenData = mime;
    }
    // The clipboard's own signal may arrive later or not at all offscreen; count the write now.
    return ++*m_changeCount;
}

bool ClipboardPasteboard::reportsFetches() const
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void ClipboardPasteboard::whenFetched(std::chrono::milliseconds timeout, QObject* context, std::function<void(bool)> done)
{
    if (!reportsFetches())
        return Pasteboard::whenFetched(timeout, context, std::move(done));
    auto answered = std::make_shared<bool>(false);
    auto connection = std::make_shared<QMetaObject::Connection>();
    auto answer = [answered, connection, done](bool fetched) {
        if (*answered)
            return;
        *answered = true;
        QObject::disconnect(*connection);
        done(fetched);
    };
    *connection = QObject::connect(static_cast<ClipboardFetches*>(m_fetches.get()), &ClipboardFetches::wasFetched, context,
                                   [answer] { answer(true); });
    QTimer::singleShot(timeout, Qt::PreciseTimer, context, [answer] { answer(false); });
}

FilePasteboard::FilePasteboard(QString filePath)
    : m_path(std::move(filePath))
{
}

FilePasteboard::Contents FilePasteboard::read() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    Contents c;
    c.changeCount = root.value(u"changeCount").toInteger();
    for (const auto& itemValue : root.value(u"items").toArray()) {
        PasteboardItem item;
        for (const auto& repValue : itemValue.toArray()) {
            const QJsonObject rep = repValue.toObject();
            item.representations.append({rep.value(u"type").toString(),
                                         QByteArray::fromBase64(rep.value(u"data").toString().toLatin1())});
        }
        c.items << item;
    }
    return c;
}

namespace {

// A text as a JSON string, exactly as QJsonDocument writes it.
QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// The change count from the head of a pasteboard file as written below, without reading its
// items; none when the file does not start that way.
std::optional<qint64> leadingChangeCount(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    static const QByteArray head = "{\"changeCount\":";
    const QByteArray start = f.read(head.size() + 24);
    if (!start.startsWith(head))
        return std::nullopt;
    const qsizetype end = start.indexOf(',', head.size());
    bool ok = false;
    const qint64 count = end < 0 ? 0 : start.mid(head.size(), end - head.size()).toLongLong(&ok);
    return ok ? std::optional(count) : std::nullopt;
}

} // namespace

qint64 FilePasteboard::changeCount() const
{
    if (const auto count = leadingChangeCount(m_path))
        return *count;
    return read().changeCount;
}

QList<PasteboardItem> FilePasteboard::items() const
{
    return read().items;
}

qint64 FilePasteboard::writeItems(const QList<PasteboardItem>& items)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // Two processes writing at once must not lose a change count.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.lock();
    const qint64 next = changeCount() + 1;
    // Written as it goes, in the form QJsonDocument gives ({"changeCount":N,"items":[[{"data":
    // base64,"type":text},...],...]}), without a document of the whole: a cut of many files
    // would hold it several times over in memory.
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return next - 1;
    bool written = true;
    QByteArray chunk = "{\"changeCount\":" + QByteArray::number(next) + ",\"items\":[";
    auto flush = [&](qsizetype above) {
        if (chunk.size() > above) {
            written = written && f.write(chunk) == chunk.size();
            chunk.resize(0);
        }
    };
    QHash<QString, QByteArray> types; // the few types, each escaped once
    for (qsizetype i = 0; i < items.size(); ++i) {
        chunk += i ? ",[" : "[";
        const auto& representations = items[i].representations;
        for (qsizetype j = 0; j < representations.size(); ++j) {
            const auto& [type, bytes] = representations[j];
            auto escaped = types.find(type);
            if (escaped == types.end())
                escaped = types.insert(type, jsonString(type));
            chunk += j ? ",{\"data\":\"" : "{\"data\":\"";
            chunk += bytes.toBase64();
            chunk += "\",\"type\":";
            chunk += *escaped;
            chunk += '}';
        }
        chunk += ']';
        flush(1 << 20);
    }
    chunk += "]}";
    flush(0);
    // A failed last flush can pass unseen by commit().
    written = written && f.flush();
    return written && f.commit() ? next : next - 1;
}

DesktopPasteboards::DesktopPasteboards(QString folder)
    : m_folder(std::move(folder))
{
    auto x = X11Connection::shared();
    int eventBase = 0;
    int errorBase = 0;
    if (!x || !XFixesQueryExtension(x->display(), &eventBase, &errorBase))
        return;
    m_x = x;
    const auto primary = x->atom("PRIMARY");
    XFixesSelectSelectionInput(x->display(), x->root(), primary,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
                                   | XFixesSelectionClientCloseNotifyMask);
    XFlush(x->display());
    m_listener = x->addListener([count = m_primaryChanges, eventBase, primary](const XEvent& event) {
        if (event.type != eventBase + XFixesSelectionNotify)
            return;
        if (reinterpret_cast<const XFixesSelectionNotifyEvent&>(event).selection == primary)
            ++*count;
    });
}

bool DesktopPasteboards::selectionBufferHeldByOwnerOf(quint32 window) const
{
    if (!m_x || window == 0)
        return false;
    const Window owner = XGetSelectionOwner(m_x->display(), m_x->atom("PRIMARY"));
    if (owner == None)
        return false;
    // The server hands each client a range of identifiers: the bits above the mask name the client
    // (the mask is the connection's resource mask, kept in the display's fourth private field).
    const unsigned long mask = reinterpret_cast<_XPrivDisplay>(m_x->display())->private4;
    return (owner & ~mask) == (Window(window) & ~mask);
}

DesktopPasteboards::~DesktopPasteboards()
{
    if (m_x)
        m_x->removeListener(m_listener);
}

void DesktopPasteboards::readSelectionBuffer(QObject* context, std::function<void(std::optional<QString>)> done)
{
    if (!m_x)
        return Pasteboards::readSelectionBuffer(context, std::move(done));
    X11Selection::readTextAsync("PRIMARY", selectionReadTimeoutMs, context, std::move(done));
}

std::shared_ptr<Pasteboard> DesktopPasteboards::general()
{
    if (!m_general)
        m_general = std::make_shared<ClipboardPasteboard>(QGuiApplication::clipboard());
    return m_general;
}

std::shared_ptr<Pasteboard> DesktopPasteboards::named(const QString& name)
{
    QMutexLocker lock(&m_namedMutex);
    auto& p = m_named[name];
    if (!p) {
        QString safe = name;
        safe.replace(u'/', u'_');
        p = std::make_shared<FilePasteboard>(m_folder + u'/' + safe + QStringLiteral(".json"));
    }
    return p;
}

} // namespace Platform

#include "DesktopPasteboards.moc"
