// SPDX-License-Identifier: MIT
// Draws the program's icon at one size from the window's lamp: the red disc on a transparent
// background instead of the silver, written as a PNG.
//   make_icons SIDE_PIXELS OUTPUT.png

#include <QImage>
#include <QString>
#include <cstdio>

#include "app/lamp_picture.h"

namespace {

QImage LampOnTransparency() {
  QImage lamp = LampPicture().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < lamp.height(); ++y) {
    for (int x = 0; x < lamp.width(); ++x) {
      if (lamp.pixel(x, y) == kLampBackground) lamp.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
  }
  return lamp;
}

// Whole multiples of the lamp keep its hard pixel edges; any other side is resampled smoothly,
// because repeating or dropping single rows and columns would make the disc lopsided.
Qt::TransformationMode ScalingFor(const QImage& lamp, int side) {
  return side % lamp.width() == 0 ? Qt::FastTransformation : Qt::SmoothTransformation;
}

}  // namespace

int main(int argc, char** argv) {
  bool isNumber = false;
  const int side = argc == 3 ? QString::fromLocal8Bit(argv[1]).toInt(&isNumber) : 0;
  if (!isNumber || side <= 0) {
    std::fprintf(stderr, "usage: make_icons SIDE_PIXELS OUTPUT.png\n");
    return 2;
  }
  const QImage lamp = LampOnTransparency();
  const QImage icon = lamp.scaled(side, side, Qt::IgnoreAspectRatio, ScalingFor(lamp, side));
  if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
