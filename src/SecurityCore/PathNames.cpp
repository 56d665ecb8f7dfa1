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

} // namespace

QString lastComponent(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/')
        --end;
    const QString trimmed = path.left(end);
    if (trimmed == u"/")
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
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
    // The last component as lastComponent() gives it, without a copy: every item of a batch of
    // files is checked.
    QStringView rest(path);
    while (rest.size() > 1 && rest.endsWith(u'/'))
        rest.chop(1);
    const QStringView last = rest == u"/" ? rest : rest.mid(rest.lastIndexOf(u'/') + 1);
    return last != u"." && last != u"..";
}

} // namespace PathNames
