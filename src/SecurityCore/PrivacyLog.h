#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QMutex>
#include <QString>
#include <QUrl>

namespace PrivacyLog {

inline constexpr auto subsystem = "com.corvish.app";

// A component's logger: a logging category named "<subsystem>.<category>". Messages take values
// from the user (selected text, paths, credentials) only through the redaction helpers below.
class Logger {
public:
    explicit Logger(const QLoggingCategory* category = nullptr);

    const QLoggingCategory& category() const { return *m_category; }
    QString subsystem() const { return QString::fromLatin1(PrivacyLog::subsystem); }
    QString categoryName() const; // without the subsystem

    void debug(const QString& message) const;
    void info(const QString& message) const;
    void warning(const QString& message) const;
    void error(const QString& message) const;

private:
    const QLoggingCategory* m_category;
};

// The one factory of loggers. Loggers of the same category share one logging category.
Logger logger(const QString& category);

// "<url .ext depth=n>" or "<url depth=n>": the path's extension (as spelled) and component count.
QString redact(const QUrl& url);
// "<text n chars>", n in user-perceived characters.
QString redact(const QString& text);
QString redactCredential();

// Records what the application's loggers write while it lives (for tests). Messages still reach
// the previous handler.
class Capture {
public:
    struct Entry {
        QString category; // without the subsystem
        QtMsgType type;
        QString message;
    };
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    QList<Entry> entries() const;
    QList<Entry> entries(const QString& category) const;
    bool contains(const QString& fragment) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    mutable QMutex m_mutex;
    QList<Entry> m_entries;
    QtMessageHandler m_previous = nullptr;
    Capture* m_outer = nullptr;
};

} // namespace PrivacyLog
