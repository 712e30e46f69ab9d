#pragma once
// Small pieces the encode and decode windows share.
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <cstdint>

class QWidget;

// A number as the windows show sizes: blank when zero.
QString sizeText(std::int64_t n);

// An entry bound to the shared passphrase: masked, at most 80 characters,
// showing every change made anywhere.
QLineEdit* makePassphraseEntry(QWidget* parent);

// Text with trailing blanks removed.
QString withoutTrailingBlanks(QString s);
