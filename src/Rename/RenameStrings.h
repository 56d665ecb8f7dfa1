#pragma once

#include <QString>

// The rename window's texts: the local actions' table, then the application's.
namespace RenameStrings {
QString string(const QString& key);
}
