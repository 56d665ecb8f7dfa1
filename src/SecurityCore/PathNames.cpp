#include "SecurityCore/PathNames.h"

namespace PathNames {
namespace {

qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return -1;
    return dot;
}

// The last component, trailing slashes ignored, without a copy: every item of a batch of files
// is checked.
QStringView lastComponentOf(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path == u"/" ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

QString lastComponent(const QString& path)
{
    return lastComponentOf(path).toString();
}

QString extension(const QString& path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString baseName(const QString& path)
{
    const QString name = lastComponent(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString withExtension(const QString& name, const QString& ext)
{
    return ext.isEmpty() ? name : name + u'.' + ext;
}

bool isAbsolute(const QString& path)
{
    return path.startsWith(u'/');
}

QString join(const QString& folder, const QString& name)
{
    qsizetype end = folder.size();
    while (end > 0 && folder[end - 1] == u'/')
        --end;
    return folder.left(end) + u'/' + name;
}

bool isUsable(const QString& path)
{
    if (!isAbsolute(path) || path.contains(QChar(0)))
        return false;
    const QStringView last = lastComponentOf(path);
    return last != u"." && last != u"..";
}

} // namespace PathNames
