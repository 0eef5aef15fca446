#include "InputEcho.h"

QString InputEcho::bounded(const QString& text)
{
    // Code points, not UTF-16 units: a character outside the basic plane
    // counts once and is kept or cut whole.
    int characters = 0;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype width =
            text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
        if (characters == maxCharacters)
            return text.left(at) + QChar(0x2026);
        ++characters;
        at += width;
    }
    return text;
}
