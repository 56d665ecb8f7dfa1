#pragma once

#include <QString>
#include <QStringList>

#include <expected>
#include <functional>

namespace Platform {

// The application's own desktop entry ("ambrel.desktop" in the user's applications folder) and
// the shared-mime-info package ("ambrel.xml") that names its file types, so that the system
// hands "corvish" addresses and opened plug-in and action library files to Ambrel. Both are
// rewritten only when their text differs from what this executable would write; after a change
// the system's caches are refreshed with the freedesktop tools that are installed.
class DesktopApplicationEntry {
public:
    inline static const QString schemeMimeType = QStringLiteral("x-scheme-handler/corvish");
    inline static const QString pluginMimeType = QStringLiteral("application/x-ambrel-plugin");
    inline static const QString libraryMimeType = QStringLiteral("application/x-ambrel-actions");

    // Runs a tool with its arguments to its end; false when it could not run or failed.
    using ToolRunner = std::function<bool(const QString& program, const QStringList& arguments)>;

    struct Outcome {
        bool changed = false;    // the entry or the package was (re)written
        QStringList refreshed;   // the tools that ran, in order
        bool operator==(const Outcome&) const = default;
    };

    // `dataHome` is the user's data folder; an empty executable means this process's own.
    explicit DesktopApplicationEntry(QString dataHome, QString executablePath = {}, ToolRunner runTool = {});

    QString entryPath() const;
    QString mimePackagePath() const;

    // On failure, what could not be written, for the log.
    std::expected<Outcome, QString> install() const;

    static QString entryText(const QString& executable);
    static QString mimePackageText();

private:
    QString executable() const;

    QString m_dataHome;
    QString m_executable;
    ToolRunner m_runTool;
};

} // namespace Platform
