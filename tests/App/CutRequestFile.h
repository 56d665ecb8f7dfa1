#pragma once

#include <QFile>
#include <QString>

#include <cstdio>

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
