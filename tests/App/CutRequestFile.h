#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// The request file of a cut of `count` files, as the file-manager extension writes it, written
// path by path so that the writing process holds none of it before a measurement.
inline bool writeCutRequest(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(R"({"actionID":"finder.cut","baseName":"","directoryPath":"\/home\/user\/Pictures\/Holiday 2024","selectedPaths":[)");
    for (int i = 0; i < count; ++i) {
        char line[128];
        const int n = std::snprintf(line, sizeof line, R"(%s"\/home\/user\/Pictures\/Holiday 2024\/Day %d\/IMG_%06d.jpg")",
                                    i ? "," : "", i / 1000, i);
        file.write(line, n);
    }
    return file.write("]}") == 2 && file.flush();
}

// The name of the i-th file of a folder of real files.
inline QString numberedFile(const QString& folder, int i)
{
    return folder + QStringLiteral("/file %1").arg(i);
}

// Makes `count` empty files "<folder>/file <i>", numbered from 0.
inline bool makeNumberedFiles(const QString& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const int fd = ::open(QFile::encodeName(numberedFile(folder, i)).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              0644);
        if (fd < 0 || ::close(fd) != 0)
            return false;
    }
    return true;
}

// A request of `actionID` in `directory` naming the first `count` files of `folder` as
// makeNumberedFiles made them (none for 0), written path by path as above.
inline bool writeRequest(const QString& path, const char* actionID, const QString& folder, int count, const QString& directory)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto json = [](const QString& text) {
        return QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    };
    file.write("{\"actionID\":\"" + QByteArray(actionID) + "\",\"baseName\":\"\",\"directoryPath\":" + json(directory)
               + ",\"selectedPaths\":[");
    const QByteArray prefix = json(numberedFile(folder, 0)).chopped(2); // without the digit and the closing quote
    for (int i = 0; i < count; ++i)
        file.write((i ? "," : "") + prefix + QByteArray::number(i) + '"');
    return file.write("]}") == 2 && file.flush();
}
