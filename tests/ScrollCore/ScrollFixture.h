#pragma once

#include "ScrollCore/ScrollSettings.h"

#include <QStringList>

// Settings made from the defaults and a few words, so that a table row reads as what it changes:
// "off" (switched off), "smooth" / "system" (preset), "vFlat" / "hSmooth" (smoothing per axis),
// "vRev" / "hRev", "vSpeed=2" / "hSpeed=0.5", "command=passThrough" (any modifier and action),
// "app=id:off" / "app=id:custom" (an entry with a copy of the global profile), "step=100".
inline ScrollSettings scrollSettings(const QString& words)
{
    ScrollSettings s = ScrollSettings::defaults();
    s.isEnabled = true;
    s.apps.clear();
    for (const QString& word : words.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = word.section(u'=', 0, 0);
        const QString value = word.section(u'=', 1);
        if (word == u"off")
            s.isEnabled = false;
        else if (auto preset = fromRaw<ScrollPreset>(word))
            s.global.adopt(*preset);
        else if (word == u"vFlat")
            s.global.vertical.isSmoothed = false;
        else if (word == u"hSmooth")
            s.global.horizontal.isSmoothed = true;
        else if (word == u"vRev")
            s.global.vertical.isReversed = true;
        else if (word == u"hRev")
            s.global.horizontal.isReversed = true;
        else if (key == u"vSpeed")
            s.global.vertical.speed = value.toDouble();
        else if (key == u"hSpeed")
            s.global.horizontal.speed = value.toDouble();
        else if (key == u"step")
            s.global.customTuning = ScrollTuning{value.toDouble(), 0.28, 0.24};
        else if (auto modifier = fromRaw<ScrollModifier>(key))
            s.modifiers.action(*modifier) = *fromRaw<ScrollModifierAction>(value);
        else if (key == u"app") {
            const QString id = value.section(u':', 0, 0);
            if (value.endsWith(u":off"))
                s.setMode(ScrollAppMode::off(), id);
            else
                s.startCustomising(id);
        } else
            qFatal("unknown settings word %s", qPrintable(word));
    }
    return s;
}
