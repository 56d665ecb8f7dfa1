#pragma once

#include "ContextCore/LocaleParts.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// A web search page: its address with "{query}" where the encoded query goes.
struct SearchEngine {
    QString id;          // how stored settings refer to it
    QString urlTemplate; // https address holding "{query}"

    static const SearchEngine& google();
    static const SearchEngine& bing();
    static const SearchEngine& baidu();
    static const SearchEngine& duckDuckGo();
    // The built-in engines in display order.
    static const QList<SearchEngine>& all();

    // Baidu for the region CN, Google otherwise.
    static const SearchEngine& defaultFor(const LocaleParts& locale);
    // For the current locale, worked out once.
    static const SearchEngine& defaultEngine();

    // The table's display name for this id; the id itself outside the table.
    QString displayName() const;
    // The template with the query percent-encoded into it; none when that is no valid address.
    std::optional<QUrl> url(const QString& query) const;

    bool operator==(const SearchEngine&) const = default;
};
