#include "Settings/ApplicationChooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace ApplicationChooser {

QStringList choose(QWidget* parent, const QString& title, const QString& filterName)
{
    return QFileDialog::getOpenFileNames(parent, title, QStringLiteral("/usr/share/applications"),
                                         QStringLiteral("%1 (*.desktop)").arg(filterName));
}

std::optional<QString> bundleIdentifier(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.suffix() != u"desktop" || info.completeBaseName().isEmpty())
        return std::nullopt;
    return info.completeBaseName();
}

} // namespace ApplicationChooser
