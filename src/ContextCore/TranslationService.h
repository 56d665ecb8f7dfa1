#pragma once

#include "ContextCore/LocaleParts.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// A language to translate into, with the codes each translation page expects for it.
struct TranslationTarget {
    QString id;          // language tag, also matched against the locale's language code
    QString displayName; // the language's name in that language
    QString google;
    QString bing;

    static const TranslationTarget& traditionalChinese();
    static const TranslationTarget& simplifiedChinese();
    static const TranslationTarget& english();
    static const TranslationTarget& japanese();
    static const TranslationTarget& korean();
    static const TranslationTarget& french();
    static const TranslationTarget& german();
    static const TranslationTarget& spanish();
    static const QList<TranslationTarget>& all();

    // The first target with this id.
    static std::optional<TranslationTarget> named(const QString& id);

    // From the locale's language: Chinese by script (Hans simplified, anything else
    // traditional), others by code, English when nothing matches.
    static const TranslationTarget& defaultFor(const LocaleParts& locale);
    // For the current locale, worked out at each call.
    static const TranslationTarget& defaultTarget();

    bool operator==(const TranslationTarget&) const = default;
};

// A translation page: its address with "{text}" and, for some, "{target}".
struct TranslationService {
    // Which of the target's codes fills "{target}".
    enum class CodeStyle {
        google,
        bing,
        automatic, // the empty string: such templates carry no "{target}"
    };

    QString id;
    QString displayName;
    QString urlTemplate;
    CodeStyle codeStyle = CodeStyle::automatic;

    static const TranslationService& google();
    static const TranslationService& bing();
    static const TranslationService& baidu();
    static const TranslationService& youdaoDictionary();
    static const QList<TranslationService>& all();

    // The service with this id; the default one for an absent id or one that matches nothing.
    static const TranslationService& named(const std::optional<QString>& id);

    // Baidu for the region CN, Google otherwise.
    static const TranslationService& defaultFor(const LocaleParts& locale);
    // For the current locale, worked out once.
    static const TranslationService& defaultService();

    static QString code(CodeStyle style, const TranslationTarget& target);

    // The text percent-encoded into "{text}" and the target's code, as it is, into
    // "{target}"; none when that is no valid address.
    std::optional<QUrl> url(const QString& text, const TranslationTarget& target) const;

    // The characters a placeholder's value keeps as they are (RFC 3986's unreserved ones);
    // every other UTF-8 byte becomes %XX.
    static const QString& valueAllowed();
    // None when the text is not valid Unicode (an unpaired surrogate).
    static std::optional<QString> encodeValue(const QString& text);
    // The address, when it is a valid one.
    static std::optional<QUrl> parseAddress(const QString& address);

    bool operator==(const TranslationService&) const = default;
};
