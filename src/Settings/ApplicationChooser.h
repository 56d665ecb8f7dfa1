#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Picking applications, which are desktop entries here: a file chooser over the system's entries,
// and the application's identifier (its desktop file id without ".desktop").
namespace ApplicationChooser {

// The chosen entry files; empty when cancelled.
QStringList choose(QWidget* parent, const QString& title, const QString& filterName);
// None for anything but an existing desktop entry file.
std::optional<QString> bundleIdentifier(const QString& path);

} // namespace ApplicationChooser
