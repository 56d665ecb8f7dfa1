#include "Platform/Desktop/DesktopLoginItem.h"

#include "Platform/Desktop/DesktopEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace Platform {
namespace {

const QString entryName = QStringLiteral("ambrel.desktop");

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

DesktopLoginItem::DesktopLoginItem(QString autostartFolder, QString executablePath, QObject* parent)
    : LoginItem(parent)
    , m_folder(std::move(autostartFolder))
    , m_executable(std::move(executablePath))
{
}

QString DesktopLoginItem::entryPath() const
{
    return m_folder + u'/' + entryName;
}

QString DesktopLoginItem::executable() const
{
    return m_executable.isEmpty() ? QCoreApplication::applicationFilePath() : m_executable;
}

LoginItem::Status DesktopLoginItem::status() const
{
    const auto group = DesktopEntry::readGroup(entryPath());
    if (!group)
        return Status::notRegistered;
    const auto& entries = *group;
    if (entries.value(QStringLiteral("Hidden")) == u"true"
        || entries.value(QStringLiteral("X-GNOME-Autostart-enabled")) == u"false")
        return Status::notRegistered;
    const QString program = programOf(entries.value(QStringLiteral("Exec")));
    if (program.isEmpty())
        return Status::notFound;
    const bool present = program.contains(u'/') ? isExecutableFile(program)
                                                : !QStandardPaths::findExecutable(program).isEmpty();
    return present ? Status::enabled : Status::notFound;
}

std::expected<void, QString> DesktopLoginItem::registerMainApp()
{
    const QString program = executable();
    if (program.isEmpty() || !isExecutableFile(program))
        return std::unexpected(QStringLiteral("The application's executable could not be found."));
    if (!QDir().mkpath(m_folder))
        return std::unexpected(QStringLiteral("The autostart folder could not be created."));

    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(file.errorString());
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Ambrel\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execValue(program));
    file.write(text.toUtf8());
    if (!file.commit())
        return std::unexpected(file.errorString());
    return {};
}

std::expected<void, QString> DesktopLoginItem::unregisterMainApp()
{
    QFile file(entryPath());
    if (!file.exists())
        return {};
    if (!file.remove())
        return std::unexpected(file.errorString());
    return {};
}

QString DesktopLoginItem::execValue(const QString& program)
{
    return DesktopEntry::escapeValue(DesktopEntry::execArgument(program));
}

QString DesktopLoginItem::programOf(const QString& execValue)
{
    const auto args = DesktopEntry::splitExec(DesktopEntry::unescapeValue(execValue));
    if (!args || args->isEmpty())
        return {};
    QString program = args->first();
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return program;
}

} // namespace Platform
