#pragma once
// Small pieces the encode and decode windows share.
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include "app/focus_next.h"

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


// "Caption - file name" once a file is loaded, the caption alone before.
void setTitleWithFile(QWidget* window, const QString& caption, const QString& filePath);

// A short note in the frame's status bar (or nowhere, outside a frame).
void showStatusNote(QWidget* window, const QString& text);

class QGridLayout;
// The two size displays with what they count: "Input bytes:", "Output bytes:".
QGridLayout* makeSizeDisplays(QLabel* inputSize, QLabel* outputSize);
