#include "ActionCore/ActionDefinition.h"

namespace {

// Surrogates stand for scalars above U+FFFF, so they rank above every other code unit.
uint rankOf(QChar c)
{
    const uint u = c.unicode();
    return c.isSurrogate() ? u + 0x10000 : u;
}

} // namespace

bool ActionDefinition::idPrecedes(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const uint x = rankOf(a.at(i));
        const uint y = rankOf(b.at(i));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

bool ActionDefinition::tiePrecedes(const ActionDefinition& a, const ActionDefinition& b)
{
    if (a.keepsListOrder != b.keepsListOrder)
        return b.keepsListOrder;
    return !a.keepsListOrder && idPrecedes(a.id, b.id);
}
