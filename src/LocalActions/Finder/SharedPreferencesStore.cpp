#include "LocalActions/Finder/SharedPreferencesStore.h"

#include "LocalActions/Finder/FinderMenuPreferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

SharedPreferencesStore::SharedPreferencesStore(const Platform::Folders& folders)
    : m_containerPath(QDir(folders.extensionContainer).filePath(QString::fromLatin1(fileName)))
    , m_ownPath(QDir(QFileInfo(folders.appData).absolutePath()).filePath(QString::fromLatin1(fileName)))
    , m_logger(PrivacyLog::logger(QStringLiteral("SharedPreferences")))
{
}

std::expected<void, SharedPreferencesStore::WriteError>
SharedPreferencesStore::write(const FinderMenuPreferences& preferences) const
{
    const QString folder = QFileInfo(m_containerPath).absolutePath();
    if (!QDir().mkpath(folder))
        return std::unexpected(WriteError{WriteError::Step::createFolder, QStringLiteral("cannot create ") + folder});

    // QJsonObject keeps its keys sorted, so the indented form is sorted too.
    const QByteArray bytes = QJsonDocument(toJson(preferences)).toJson(QJsonDocument::Indented);
    // The same preferences are saved at every start: a file that holds them already stays.
    if (const QFileInfo present(m_containerPath); present.isFile() && present.size() == bytes.size()) {
        QFile current(m_containerPath);
        if (current.open(QIODevice::ReadOnly) && current.read(bytes.size() + 1) == bytes)
            return {};
    }
    QSaveFile file(m_containerPath);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(WriteError{WriteError::Step::write, file.errorString()});
    if (file.write(bytes) != bytes.size() || !file.commit())
        return std::unexpected(WriteError{WriteError::Step::write, file.errorString()});
    return {};
}

FinderMenuPreferences SharedPreferencesStore::read() const
{
    QStringList candidates;
    // The own folder is created when missing, as the system's support folder would be.
    if (QDir().mkpath(QFileInfo(m_ownPath).absolutePath()))
        candidates << m_ownPath;
    candidates << m_containerPath;

    for (const QString& path : std::as_const(candidates)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error == QJsonParseError::NoError && doc.isObject()) {
            if (auto preferences = fromJson<FinderMenuPreferences>(doc.object()))
                return *preferences;
        }
        m_logger.error(QStringLiteral("Preferences file present but could not be decoded"));
    }
    return FinderMenuPreferences::defaults();
}
