#pragma once
// Small pieces the encode and decode windows share.
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <cstdint>

class QWidget;

#include <QStyle>

class QPushButton;

// A push button with a standard icon, 60 dialog units wide at least.
QPushButton* makeButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text, const QString& objectName);

// A number as the windows show sizes: blank when zero.
QString sizeText(std::int64_t n);

// An entry bound to the shared passphrase: masked, at most 80 characters,
// showing every change made anywhere.
QLineEdit* makePassphraseEntry(QWidget* parent);

// Text with trailing blanks removed.
QString withoutTrailingBlanks(QString s);
