#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace zelqon {

QImage drawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);  // drawn on a 64 x 64 grid

  // Rounded badge.
  QLinearGradient badge(0, 0, 0, 64);
  badge.setColorAt(0, QColor(0x1f, 0x5f, 0xbf));
  badge.setColorAt(1, QColor(0x0b, 0x2e, 0x6b));
  painter.setPen(Qt::NoPen);
  painter.setBrush(badge);
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

  // Links from the controller to the four radios.
  const QPointF hub(32, 32);
  const QPointF radios[] = {{14, 14}, {50, 14}, {14, 50}, {50, 50}};
  painter.setPen(QPen(QColor(0xff, 0xc8, 0x3d), 3, Qt::SolidLine, Qt::RoundCap));
  for (const QPointF& radio : radios)
    painter.drawLine(hub, radio);

  // The radios: small handsets with an antenna.
  painter.setPen(Qt::NoPen);
  for (const QPointF& radio : radios) {
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(radio.x() - 5, radio.y() - 5, 10, 11), 2, 2);
    painter.drawRect(QRectF(radio.x() + 2, radio.y() - 10, 2, 6));
    painter.setBrush(QColor(0x0b, 0x2e, 0x6b));
    painter.drawRect(QRectF(radio.x() - 3, radio.y() - 3, 6, 3));
  }

  // The controller.
  painter.setBrush(QColor(0xff, 0xc8, 0x3d));
  painter.drawRoundedRect(QRectF(22, 24, 20, 16), 3, 3);
  painter.setPen(QPen(QColor(0x0b, 0x2e, 0x6b), 2.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  QPainterPath zed;
  zed.moveTo(27, 28);
  zed.lineTo(37, 28);
  zed.lineTo(27, 36);
  zed.lineTo(37, 36);
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(zed);
  return image;
}

}  // namespace zelqon
