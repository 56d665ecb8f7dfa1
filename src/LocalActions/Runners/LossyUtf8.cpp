#include "LocalActions/Runners/LossyUtf8.h"

namespace LossyUtf8 {

QString decode(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        if (lead < 0x80) {
            out.append(QChar(lead));
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        char32_t value = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            out.append(QChar::ReplacementCharacter);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++j) {
            const unsigned char lo = k == 1 ? low : 0x80;
            const unsigned char hi = k == 1 ? high : 0xBF;
            if (j >= n || s[j] < lo || s[j] > hi) {
                complete = false;
                break;
            }
            value = (value << 6) | (s[j] & 0x3F);
        }
        if (!complete) {
            out.append(QChar::ReplacementCharacter);
            i = j; // the bytes taken so far form one ill-formed subsequence
            continue;
        }
        if (value >= 0x10000) {
            out.append(QChar::highSurrogate(value));
            out.append(QChar::lowSurrogate(value));
        } else {
            out.append(QChar(char16_t(value)));
        }
        i = j;
    }
    return out;
}

} // namespace LossyUtf8
