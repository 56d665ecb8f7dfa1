#pragma once

#include <QString>

// The order in which people expect names listed: case and accents matter only to break ties, and
// runs of digits compare by their value, so "Tool 9" comes before "Tool 10".
namespace StandardOrder {
int compare(const QString& a, const QString& b);
inline bool less(const QString& a, const QString& b)
{
    return compare(a, b) < 0;
}
} // namespace StandardOrder
