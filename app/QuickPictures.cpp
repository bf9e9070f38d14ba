#include "app/QuickPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orvalink {

namespace {

// Every picture is drawn on a 24 x 24 grid and scaled to the size asked.
void DrawPage(QPainter& p, QRectF r) {
    const qreal fold = r.width() * 0.35;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 80), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    p.setPen(QPen(QColor(150, 150, 170), 1.0));
    for (qreal y = r.top() + fold + 2; y < r.bottom() - 1.5; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void DrawRemote(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(30, 30, 35), 1.0));
    p.setBrush(QColor(55, 55, 65));
    p.drawRoundedRect(r, 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 220, 150));
    p.drawRect(QRectF(r.left() + 1.5, r.top() + 2, r.width() - 3, r.height() * 0.35));
    p.setBrush(QColor(200, 200, 210));
    const qreal y = r.top() + 3 + r.height() * 0.4;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawEllipse(QRectF(r.left() + 1.5 + col * (r.width() - 3) / 2, y + row * 2.6, 1.8, 1.8));
}

void DrawComputer(QPainter& p, QRectF r) {
    const QRectF screen(r.left(), r.top(), r.width(), r.height() * 0.72);
    p.setPen(QPen(QColor(40, 40, 50), 1.0));
    p.setBrush(QColor(60, 60, 70));
    p.drawRoundedRect(screen, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 150, 230));
    p.drawRect(screen.adjusted(1.5, 1.5, -1.5, -1.5));
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(r.center().x() - 1.5, screen.bottom(), 3, r.height() * 0.16));
    p.drawRect(QRectF(r.left() + r.width() * 0.2, r.bottom() - 1.5, r.width() * 0.6, 1.5));
}

void DrawDevice(QPainter& p, QRectF r) {
    // A television: the kind of device a remote's device page stands for.
    p.setPen(QPen(QColor(40, 40, 50), 1.0));
    p.setBrush(QColor(70, 70, 80));
    p.drawRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() - 2), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 90));
    p.drawRect(QRectF(r.left() + 1.5, r.top() + 1.5, r.width() - 3, r.height() - 5));
    p.setPen(QPen(QColor(40, 40, 50), 1.2));
    p.drawLine(QPointF(r.left() + 3, r.bottom() - 2), QPointF(r.left() + 2, r.bottom()));
    p.drawLine(QPointF(r.right() - 3, r.bottom() - 2), QPointF(r.right() - 2, r.bottom()));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, QColor colour) {
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    const qreal dir = to.x() > from.x() ? 1 : -1;
    p.drawLine(from, QPointF(to.x() - dir * 2.5, to.y()));
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to.x() - dir * 4.5, to.y() - 3.5);
    head.lineTo(to.x() - dir * 4.5, to.y() + 3.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

void DrawFolder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 30), 1.0));
    p.setBrush(QColor(240, 200, 90));
    QPainterPath folder;
    folder.moveTo(2, 6);
    folder.lineTo(9, 6);
    folder.lineTo(11, 8);
    folder.lineTo(22, 8);
    folder.lineTo(22, 20);
    folder.lineTo(2, 20);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setBrush(QColor(250, 220, 130));
    p.drawRect(QRectF(2, 11, 20, 9));
}

void DrawDisk(QPainter& p) {
    p.setPen(QPen(QColor(20, 40, 90), 1.0));
    p.setBrush(QColor(50, 90, 170));
    p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 3, 12, 7));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(7, 14, 10, 7));
}

void Draw(QPainter& p, QuickPicture picture) {
    const QColor toComputer(40, 150, 60);
    const QColor toRemote(220, 120, 20);
    switch (picture) {
        case QuickPicture::New:
            DrawPage(p, QRectF(5, 2, 14, 20));
            p.setPen(QPen(QColor(230, 170, 0), 1.6));
            p.drawLine(QPointF(17, 15), QPointF(23, 21));
            p.drawLine(QPointF(23, 15), QPointF(17, 21));
            p.drawLine(QPointF(20, 14), QPointF(20, 22));
            break;
        case QuickPicture::Open: DrawFolder(p); break;
        case QuickPicture::Save: DrawDisk(p); break;
        case QuickPicture::Import:  // model file into the device
            DrawPage(p, QRectF(1, 3, 9, 13));
            DrawDevice(p, QRectF(13, 7, 10, 11));
            DrawArrow(p, QPointF(4, 20), QPointF(14, 20), toRemote);
            break;
        case QuickPicture::Export:  // the device into a model file
            DrawDevice(p, QRectF(1, 7, 10, 11));
            DrawPage(p, QRectF(14, 3, 9, 13));
            DrawArrow(p, QPointF(8, 20), QPointF(19, 20), toComputer);
            break;
        case QuickPicture::Download:  // from the remote to the computer
            DrawRemote(p, QRectF(1, 2, 7, 20));
            DrawComputer(p, QRectF(13, 4, 10, 14));
            DrawArrow(p, QPointF(8, 20), QPointF(19, 20), toComputer);
            break;
        case QuickPicture::Upload:  // from the computer to the remote
            DrawRemote(p, QRectF(1, 2, 7, 20));
            DrawComputer(p, QRectF(13, 4, 10, 14));
            DrawArrow(p, QPointF(18, 20), QPointF(5, 20), toRemote);
            break;
    }
}

}  // namespace

QIcon QuickIcon(QuickPicture picture) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        Draw(p, picture);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace orvalink
