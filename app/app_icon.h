#pragma once
// Tolv's own icon, drawn from its SVG at the sizes window systems ask for.
#include <QIcon>

QIcon tolvIcon();
