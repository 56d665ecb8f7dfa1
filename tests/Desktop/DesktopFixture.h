#pragma once

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <QHash>
#include <QRect>

#include <optional>

#include <memory>
#include <vector>

// Starts and stops the real applications a desktop test talks to, and runs the tools that drive
// the X session (xdotool, xclip). Everything started is stopped when the fixture goes.
class DesktopFixture {
public:
    ~DesktopFixture();

    // Starts a program; with a ready line, waits until it prints that line (at most 60 s).
    QProcess* start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {},
                    const QByteArray& readyLine = {});
    // The Qt target application with accessibility on, once its window is up; `environment` is
    // added to ours.
    QProcess* startTargetApp(const QStringList& arguments = {}, const QHash<QString, QString>& environment = {});
    // The GTK entry (or, with `textView`, a multi-line text view), once its window is up;
    // `arguments` are added to gtk-entry.py's.
    QProcess* startGtkEntry(const QString& text, bool textView = false, const QStringList& arguments = {});
    void stopAll();
    // Waits (at most 60 s) until the program has printed this line; all it printed so far is
    // kept in output().
    bool waitForLine(QProcess* process, const QByteArray& line);
    QByteArray output(QProcess* process);

    // Runs a tool to its end (at most 60 s); its standard output, or a null array when it failed.
    static QByteArray run(const QString& program, const QStringList& arguments);
    static bool xdotool(const QStringList& arguments);
    // Where the window manager shows the contents of the window with this title (xwininfo), in
    // screen pixels; none while there is no such window.
    static std::optional<QRect> clientGeometry(const QString& title);
    static std::optional<QRect> clientGeometry(quintptr window);

private:
    static std::optional<QRect> windowGeometry(const QStringList& which);
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QHash<QProcess*, QByteArray> m_output;
};
