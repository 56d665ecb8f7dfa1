#include "Platform/Desktop/DesktopUserDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QLoggingCategory>

#include <sys/stat.h>

namespace Platform {

namespace {
Q_LOGGING_CATEGORY(lcUserDefaults, "com.corvish.app.UserDefaults")
} // namespace

DesktopUserDefaults::DesktopUserDefaults(const QString& filePath, QObject* parent)
    : UserDefaults(parent)
    , m_filePath(filePath)
{
    const QFileInfo info(filePath);
    if ((info.exists() || info.isSymLink()) && !info.isFile()) {
        qCWarning(lcUserDefaults) << "the settings file is not a regular file: using the defaults, and changes are not saved";
        return;
    }
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat); // reads the file
    m_stamp = currentStamp();
}

DesktopUserDefaults::FileStamp DesktopUserDefaults::currentStamp() const
{
    struct stat st {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &st) != 0)
        return {};
    return {qint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// True when the file, unchanged since this store last synced it, holds `wanted` under the key
// already (`wanted` none: the key is absent).
bool DesktopUserDefaults::holdsAlready(const QVariant& previous, const std::optional<QString>& wanted) const
{
    if (!m_settings || m_saveFailed || m_stamp.inode < 0)
        return false;
    const bool same = wanted ? previous.typeId() == QMetaType::QString && previous.toString() == *wanted : !previous.isValid();
    // Another writer may have changed the file since: then the value is written as asked.
    return same && currentStamp() == m_stamp;
}

QString DesktopUserDefaults::encode(const Value& v)
{
    switch (v.type) {
    case Type::Bool:
        return v.value.toBool() ? QStringLiteral("b:true") : QStringLiteral("b:false");
    case Type::Int:
        return QStringLiteral("i:") + QString::number(v.value.toLongLong());
    case Type::Double:
        return QStringLiteral("d:") + QString::number(v.value.toDouble(), 'g', 17);
    case Type::String:
        return QStringLiteral("s:") + v.value.toString();
    case Type::StringList:
        return QStringLiteral("l:")
            + QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(v.value.toStringList())).toJson(QJsonDocument::Compact));
    case Type::Data:
        return QStringLiteral("x:") + QString::fromLatin1(v.value.toByteArray().toBase64());
    }
    return {};
}

std::optional<UserDefaults::Value> DesktopUserDefaults::decode(const QString& text)
{
    if (text.size() < 2 || text[1] != u':')
        return std::nullopt;
    const QString body = text.mid(2);
    const QLocale c = QLocale::c();
    bool ok = false;
    switch (text[0].unicode()) {
    case 'b':
        if (body == u"true" || body == u"false")
            return Value{Type::Bool, body == u"true"};
        return std::nullopt;
    case 'i': {
        const qint64 n = c.toLongLong(body, &ok);
        return ok ? std::optional(Value{Type::Int, QVariant::fromValue(n)}) : std::nullopt;
    }
    case 'd': {
        const double d = c.toDouble(body, &ok);
        return ok ? std::optional(Value{Type::Double, d}) : std::nullopt;
    }
    case 's':
        return Value{Type::String, body};
    case 'l': {
        QJsonParseError err;
        const auto doc = QJsonDocument::fromJson(body.toUtf8(), &err);
        if (err.error != QJsonParseError::NoError || !doc.isArray())
            return std::nullopt;
        QStringList list;
        for (const auto& item : doc.array()) {
            if (!item.isString())
                return std::nullopt;
            list << item.toString();
        }
        return Value{Type::StringList, list};
    }
    case 'x': {
        auto r = QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!r)
            return std::nullopt;
        return Value{Type::Data, *r};
    }
    default:
        return std::nullopt;
    }
}

std::optional<UserDefaults::Value> DesktopUserDefaults::rawValue(const QString& key) const
{
    if (!m_settings)
        return std::nullopt;
    const QVariant v = m_settings->value(key);
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        return std::nullopt;
    return decode(v.toString());
}

void DesktopUserDefaults::setRawValue(const QString& key, const Value& value)
{
    const QVariant previous = m_settings ? m_settings->value(key) : QVariant();
    const QString encoded = encode(value);
    if (holdsAlready(previous, encoded)) {
        emit changed(key);
        return;
    }
    if (m_settings)
        m_settings->setValue(key, encoded);
    saved(key, previous);
}

void DesktopUserDefaults::remove(const QString& key)
{
    const QVariant previous = m_settings ? m_settings->value(key) : QVariant();
    if (holdsAlready(previous, std::nullopt)) {
        emit changed(key);
        return;
    }
    if (m_settings)
        m_settings->remove(key);
    saved(key, previous);
}

void DesktopUserDefaults::saved(const QString& key, const QVariant& previous)
{
    if (m_settings && !m_saveFailed) {
        m_settings->sync();
        m_saveFailed = m_settings->status() != QSettings::NoError;
        m_stamp = currentStamp();
    }
    if (m_settings && m_saveFailed) {
        // Put back what the file holds, so nothing shows a change as saved that is not.
        if (previous.isValid())
            m_settings->setValue(key, previous);
        else
            m_settings->remove(key);
    }
    if (!m_settings || m_saveFailed) {
        qCWarning(lcUserDefaults) << "could not save the settings: the change is not kept";
        emit saveFailed(key);
    }
    emit changed(key);
}

QStringList DesktopUserDefaults::keys() const
{
    return m_settings ? m_settings->allKeys() : QStringList();
}

std::shared_ptr<UserDefaults> DesktopUserDefaults::suite(const QString& name)
{
    auto& s = m_suites[name];
    if (!s) {
        const QFileInfo self(m_filePath);
        s = std::make_shared<DesktopUserDefaults>(self.absolutePath() + u'/' + name + QStringLiteral(".ini"));
    }
    return s;
}

} // namespace Platform
