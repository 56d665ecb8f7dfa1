#include "Platform/Accessibility.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace Platform {

Accessibility::TextPart Accessibility::partOf(QString text, qint64 limit, bool reachedEnd)
{
    if (text.size() <= limit)
        return {std::move(text), reachedEnd};
    qsizetype keep = qsizetype(std::max<qint64>(limit, 0));
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    text.truncate(keep);
    return {std::move(text), false};
}

void Accessibility::answerLater(QObject* receiver, TextDone done, std::expected<QString, Failure> answer)
{
    QPointer<QObject> alive(receiver);
    QTimer::singleShot(0, QCoreApplication::instance(), [alive, receiver, done = std::move(done), answer = std::move(answer)] {
        if (done && (alive || !receiver))
            done(answer);
    });
}

} // namespace Platform
