#pragma once

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <QHash>

#include <memory>
#include <vector>

// Starts and stops the real applications a desktop test talks to, and runs the tools that drive
// the X session (xdotool, xclip). Everything started is stopped when the fixture goes.
class DesktopFixture {
public:
    ~DesktopFixture();

    // Starts a program; with a ready line, waits until it prints that line (at most 10 s).
    QProcess* start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {},
                    const QByteArray& readyLine = {});
    // The Qt target application with accessibility on, once its window is up.
    QProcess* startTargetApp(const QStringList& arguments = {});
    // The GTK entry, once its window is up.
    QProcess* startGtkEntry(const QString& text);
    void stopAll();
    // Waits (at most 10 s) until the program has printed this line; all it printed so far is
    // kept in output().
    bool waitForLine(QProcess* process, const QByteArray& line);
    QByteArray output(QProcess* process);

    // Runs a tool to its end (at most 10 s); its standard output, or a null array when it failed.
    static QByteArray run(const QString& program, const QStringList& arguments);
    static bool xdotool(const QStringList& arguments);

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QHash<QProcess*, QByteArray> m_output;
};
