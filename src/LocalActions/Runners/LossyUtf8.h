#pragma once

#include <QByteArrayView>
#include <QString>

// UTF-8 text from a program that may write anything: each maximal ill-formed subsequence becomes
// one U+FFFD (the replacement practice Unicode recommends), so a cut-off character yields one
// replacement character, not one per byte as QString::fromUtf8 gives.
namespace LossyUtf8 {

QString decode(QByteArrayView bytes);

} // namespace LossyUtf8
