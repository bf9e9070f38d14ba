#include "image/qt/TreePictures.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

namespace orvalink {

QPixmap TreePixmap(TreePicture picture) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case TreePicture::Home:
            p.setBrush(QColor(200, 60, 40));
            p.drawPolygon(QPolygon({QPoint(1, 8), QPoint(8, 1), QPoint(15, 8)}));
            p.setBrush(QColor(240, 220, 170));
            p.drawRect(3, 8, 10, 7);
            break;
        case TreePicture::Macro:
            p.setBrush(QColor(60, 120, 200));
            p.drawRoundedRect(1, 1, 14, 14, 3, 3);
            p.setPen(Qt::white);
            p.setFont(QFont(QStringLiteral("Arial"), 8, QFont::Bold));
            p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("M"));
            break;
        case TreePicture::Device:
            p.setBrush(QColor(70, 70, 70));
            p.drawRoundedRect(4, 1, 8, 14, 2, 2);
            p.setBrush(QColor(120, 220, 120));
            p.drawRect(6, 3, 4, 3);
            break;
        case TreePicture::Key:
            p.setBrush(QColor(230, 230, 230));
            p.setPen(QColor(0, 0, 255));
            p.drawRoundedRect(1, 4, 14, 8, 3, 3);
            break;
    }
    return pm;
}

}  // namespace orvalink
