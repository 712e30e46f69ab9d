#pragma once
#include <QFont>
#include <QFontMetrics>
#include <QSize>

// Dialog units of a font: a horizontal unit is a quarter of the average
// character width, a vertical unit an eighth of the character height.
inline int dluX(const QFont& font, int units)
{
    QFontMetrics fm(font);
    const int avg = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    return (units * avg + 2) / 4;
}

inline int dluY(const QFont& font, int units)
{
    QFontMetrics fm(font);
    return (units * fm.height() + 4) / 8;
}

inline QSize dluSize(const QFont& font, int w, int h) { return QSize(dluX(font, w), dluY(font, h)); }
