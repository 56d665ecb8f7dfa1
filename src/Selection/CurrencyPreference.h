#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The currencies the convert action can target, and the user's local one.
namespace CurrencyPreference {

// In the order the settings offer them.
const QStringList& codes();
// The locale's currency when it is one of `codes()`, else "USD".
QString localCode(const QLocale& locale = QLocale::system());

} // namespace CurrencyPreference
