// Stored documents read back at start: the file-manager menu settings and the selection-action
// settings as the user defaults keep them, the shared preferences file, and the named pasteboard
// files (with the pending cut on them). The first byte picks the document, the rest is its text.
// Beyond crashes and undefined behaviour: whatever is read, written again, reads back the same.

#include "ActionCore/ActionPreferences.h"
#include "LocalActions/Finder/CutPasteboard.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "LocalActions/Transfers/FileOperations.h"
#include "Platform/Desktop/DesktopPasteboards.h"
#include "Platform/Services.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failWith(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

struct World {
    QTemporaryDir root{QStringLiteral("/dev/shm/fuzz-stored-XXXXXX")};
    Platform::Folders folders = Platform::Folders::under(root.path());
    Platform::Services services = Platform::makeSimulatedServices(folders);
};

World& world()
{
    static int argc = 1;
    static char name[] = "fuzz_stored_documents";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static World w;
    return w;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(bytes);
}

void menuSettings(const QByteArray& text)
{
    Platform::SimulatedUserDefaults defaults;
    defaults.setData(QString::fromLatin1(FinderMenuPreferences::userDefaultsKey), text);
    const FinderMenuPreferences read = FinderMenuPreferences::load(defaults);
    read.save(defaults, SharedPreferencesStore(world().folders));
    if (FinderMenuPreferences::load(defaults) != read)
        failWith("menu settings read back differently after a save");
    if (SharedPreferencesStore(world().folders).read() != read)
        failWith("the shared preferences file reads back differently");
}

void actionSettings(const QByteArray& text)
{
    Platform::SimulatedUserDefaults defaults;
    defaults.setData(ActionPreferences::storageKey, text);
    const ActionPreferences read = ActionPreferences::load(defaults);
    read.save(defaults);
    if (ActionPreferences::load(defaults) != read)
        failWith("action settings read back differently after a save");
}

void sharedFile(const QByteArray& text)
{
    const SharedPreferencesStore store(world().folders);
    writeFile(world().folders.extensionContainer + QStringLiteral("/finder-menu-preferences.json"), text);
    const FinderMenuPreferences read = store.read();
    if (!store.write(read))
        failWith("the shared preferences file could not be written");
    if (store.read() != read)
        failWith("the shared preferences file reads back differently");
}

void pasteboardFile(const QByteArray& text)
{
    const QString folder = world().folders.appData + QStringLiteral("/pasteboards");
    QDir(folder).removeRecursively();
    Platform::DesktopPasteboards boards(folder);
    const QString board = CutPasteboard::sharedName;
    writeFile(folder + u'/' + board + QStringLiteral(".json"), text);
    const auto pasteboard = boards.named(board);
    const QList<Platform::PasteboardItem> items = pasteboard->items();
    const qint64 count = pasteboard->changeCount();
    // Written again, the items read back as they were, one change later.
    const qint64 next = pasteboard->writeItems(items);
    if (pasteboard->items() != items)
        failWith("pasteboard items read back differently after a write");
    if (next != pasteboard->changeCount() || (count < std::numeric_limits<qint64>::max() && next != count + 1))
        failWith("the change count did not advance by one");
    // The pending cut on it: only existing items a paste could move, never the root.
    writeFile(folder + u'/' + board + QStringLiteral(".json"), text);
    CutPasteboard onDisk(std::make_shared<Platform::DesktopPasteboards>(folder), board, world().services.clock);
    for (const QUrl& url : onDisk.read(QDateTime::currentDateTimeUtc(), DiskFileOperations())) {
        const QString path = url.toLocalFile();
        if (!url.isLocalFile() || !path.startsWith(u'/') || path.contains(QChar(0)) || QDir::cleanPath(path) == u"/"
            || !QFileInfo::exists(path))
            failWith("a cut names an item a paste could not move");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    world();
    if (size == 0)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0: menuSettings(text); break;
    case 1: actionSettings(text); break;
    case 2: sharedFile(text); break;
    case 3: pasteboardFile(text); break;
    }
    return 0;
}
