#include "Platform/Desktop/DesktopApplicationEntry.h"

#include "Platform/Desktop/DesktopLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace Platform {
namespace {

// A refresh of a user's own caches takes well under this; a hung tool is left behind.
constexpr int toolTimeoutMs = 20000;

bool runInstalledTool(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForStarted(toolTimeoutMs))
        return false;
    if (!process.waitForFinished(toolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Writes the text unless the file already holds exactly it; true when it was written.
std::expected<bool, QString> writeIfDifferent(const QString& path, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return false;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return std::unexpected(QStringLiteral("The folder of %1 could not be created.").arg(QFileInfo(path).fileName()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return std::unexpected(file.errorString());
    return true;
}

} // namespace

DesktopApplicationEntry::DesktopApplicationEntry(QString dataHome, QString executablePath, ToolRunner runTool)
    : m_dataHome(std::move(dataHome))
    , m_executable(std::move(executablePath))
    , m_runTool(runTool ? std::move(runTool) : ToolRunner(runInstalledTool))
{
}

QString DesktopApplicationEntry::entryPath() const
{
    return m_dataHome + QStringLiteral("/applications/ambrel.desktop");
}

QString DesktopApplicationEntry::mimePackagePath() const
{
    return m_dataHome + QStringLiteral("/mime/packages/ambrel.xml");
}

QString DesktopApplicationEntry::executable() const
{
    return m_executable.isEmpty() ? QCoreApplication::applicationFilePath() : m_executable;
}

QString DesktopApplicationEntry::entryText(const QString& executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Ambrel\n"
                          "Comment=Actions for what you select\n"
                          "Exec=%1 %U\n"
                          "Terminal=false\n"
                          "Categories=Utility;\n"
                          "MimeType=%2;%3;%4;\n")
        .arg(DesktopLoginItem::execValue(executable), schemeMimeType, pluginMimeType, libraryMimeType);
}

QString DesktopApplicationEntry::mimePackageText()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "  <mime-type type=\"%1\">\n"
                          "    <comment>Ambrel plug-in</comment>\n"
                          "    <sub-class-of type=\"application/x-yaml\"/>\n"
                          "    <glob pattern=\"*.ambrel\"/>\n"
                          "  </mime-type>\n"
                          "  <mime-type type=\"%2\">\n"
                          "    <comment>Ambrel AI action library</comment>\n"
                          "    <sub-class-of type=\"application/json\"/>\n"
                          "    <glob pattern=\"*.ambrel-actions\"/>\n"
                          "  </mime-type>\n"
                          "</mime-info>\n")
        .arg(pluginMimeType, libraryMimeType);
}

std::expected<DesktopApplicationEntry::Outcome, QString> DesktopApplicationEntry::install() const
{
    const QString program = executable();
    if (program.isEmpty() || program.contains(u'\n') || program.contains(u'\r'))
        return std::unexpected(QStringLiteral("The application's path cannot be written into a desktop entry."));

    const auto package = writeIfDifferent(mimePackagePath(), mimePackageText());
    if (!package)
        return std::unexpected(package.error());
    const auto entry = writeIfDifferent(entryPath(), entryText(program));
    if (!entry)
        return std::unexpected(entry.error());

    Outcome outcome;
    outcome.changed = *package || *entry;
    // A cache that is missing (the tool was installed only later) is built now.
    const bool mimeStale = *package || !QFileInfo::exists(m_dataHome + QStringLiteral("/mime/mime.cache"));
    const bool desktopStale = outcome.changed
        || !QFileInfo::exists(m_dataHome + QStringLiteral("/applications/mimeinfo.cache"));
    if (mimeStale && m_runTool(QStringLiteral("update-mime-database"), {m_dataHome + QStringLiteral("/mime")}))
        outcome.refreshed << QStringLiteral("update-mime-database");
    if (desktopStale
        && m_runTool(QStringLiteral("update-desktop-database"), {m_dataHome + QStringLiteral("/applications")}))
        outcome.refreshed << QStringLiteral("update-desktop-database");
    return outcome;
}

} // namespace Platform
