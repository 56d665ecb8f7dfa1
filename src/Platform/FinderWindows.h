#pragma once

#include "Platform/Workspace.h"

#include <QObject>
#include <QString>

#include <expected>

namespace Platform {

// Asks the file manager about its windows.
class FinderWindows : public QObject {
    Q_OBJECT
public:
    struct Failure {
        qint64 number = 0; // the file manager's error number, 0 when it gave none
        bool operator==(const Failure&) const = default;
    };

    using QObject::QObject;

    // Whether this application is the file manager this class asks. Where the system names its
    // file manager by a fixed identifier, the caller compares that and this stays false.
    virtual bool isFileManager(const ApplicationInfo&) const { return false; }

    // The path of the folder shown in the file manager's front window; an empty text when it has
    // no window or the window shows no folder. Blocks until the file manager has answered.
    virtual std::expected<QString, Failure> frontWindowPath() = 0;
};

} // namespace Platform
