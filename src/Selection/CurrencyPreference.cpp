#include "Selection/CurrencyPreference.h"

namespace CurrencyPreference {

const QStringList& codes()
{
    static const QStringList list{"USD", "CNY", "EUR", "JPY", "GBP", "HKD", "TWD", "KRW",
                                  "SGD", "AUD", "CAD", "CHF", "INR", "THB", "RUB", "BRL"};
    return list;
}

QString localCode(const QLocale& locale)
{
    const QString code = locale.currencySymbol(QLocale::CurrencyIsoCode);
    return codes().contains(code) ? code : QStringLiteral("USD");
}

} // namespace CurrencyPreference
