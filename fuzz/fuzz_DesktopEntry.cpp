// Desktop entry files and the autostart entry. Arbitrary text is read as an entry file and its
// "Exec" value split into arguments; then an autostart entry is written for a program whose path
// is made from the input, and must read back as that very program.

#include "Platform/Desktop/DesktopEntry.h"
#include "Platform/Desktop/DesktopLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failWith(const char* what, const QString& program, const QString& read)
{
    std::fprintf(stderr, "%s\n  program: %s\n  read:    %s\n", what, program.toUtf8().toPercentEncoding("/").constData(),
                 read.toUtf8().toPercentEncoding("/").constData());
    std::abort();
}

struct World {
    QTemporaryDir root{QStringLiteral("/dev/shm/fuzz-entry-XXXXXX")};
    World() { QDir().mkpath(root.filePath(QStringLiteral("bin"))); }
};

World& world()
{
    static int argc = 1;
    static char name[] = "fuzz_desktop_entry";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static World w;
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& w = world();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // Any file: read, unescaped and split without harm.
    const QString file = w.root.filePath(QStringLiteral("any.desktop"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(bytes);
    }
    if (const auto group = DesktopEntry::readGroup(file)) {
        for (const QString& value : *group)
            DesktopEntry::splitExec(DesktopEntry::unescapeValue(value));
        Platform::DesktopLoginItem::programOf(group->value(QStringLiteral("Exec")));
    }

    // The autostart entry of a program named by the input: one file name (no "/" or NUL, at most
    // 255 bytes) in a folder of its own.
    QString name = QString::fromUtf8(bytes);
    name.remove(u'/');
    name.remove(QChar(0));
    // Whole characters only: half of a surrogate pair is no name the file system can hold.
    while (name.toUtf8().size() > 255)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    if (name.isEmpty() || name == u"." || name == u"..")
        return 0;
    const QString program = w.root.filePath(QStringLiteral("bin")) + u'/' + name;
    {
        QFile f(program);
        if (!f.open(QIODevice::WriteOnly))
            return 0; // a name the file system refuses
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    Platform::DesktopLoginItem item(w.root.filePath(QStringLiteral("autostart")), program);
    if (!item.registerMainApp())
        failWith("the entry could not be written", program, {});
    const auto group = DesktopEntry::readGroup(item.entryPath());
    const QString read = group ? Platform::DesktopLoginItem::programOf(group->value(QStringLiteral("Exec"))) : QString();
    if (read != program)
        failWith("the autostart entry does not read back as its program", program, read);
    if (item.status() != Platform::LoginItem::Status::enabled)
        failWith("the autostart entry is not seen as enabled", program, read);
    QFile::remove(program);
    return 0;
}
