#pragma once
// File names are bytes on this system and need not be UTF-8. These convert
// a name to text for the windows and back without losing a byte: a byte
// that is no part of a UTF-8 character becomes the lone code unit
// U+DC80..U+DCFF in the text, and turns back into that byte.
#include <QString>

#include <string>

QString pathToQString(const std::string& bytes);
std::string pathFromQString(const QString& text);
