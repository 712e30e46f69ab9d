#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon tolvIcon()
{
    // Drawn here rather than through Qt's SVG icon plug-in, so that the icon
    // never depends on a plug-in being found at run time.
    QSvgRenderer renderer(QStringLiteral(":/tolv/tolv.svg"));
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
