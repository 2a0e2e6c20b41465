// SPDX-License-Identifier: MIT
#include "app/lamp_picture.h"

#include <QList>
#include <iterator>

namespace {

constexpr int kPictureSide = 32;
constexpr double kDiscWidth = 32;
constexpr double kDiscHeight = 31;  // one row short of the picture, so the disc sits on a silver bottom row

// The sixteen colours of the standard 4-bit palette, in their usual order.
// clang-format off
constexpr QRgb kSixteenColours[] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),     qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128),   kLampBackground,
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),     qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255),   qRgb(255, 255, 255),
};
// clang-format on
constexpr int kBlack = 0;
constexpr int kSilver = 7;
constexpr int kRed = 9;

// Whether the pixel's centre lies in the ellipse that fills the disc's box at the picture's top left.
bool InDisc(int x, int y) {
  const double across = (x + 0.5 - kDiscWidth / 2) / (kDiscWidth / 2);
  const double down = (y + 0.5 - kDiscHeight / 2) / (kDiscHeight / 2);
  return across * across + down * down <= 1.0;
}

// A disc pixel with a neighbour outside the disc belongs to the rim, which is one pixel wide.
bool OnRim(int x, int y) { return !InDisc(x - 1, y) || !InDisc(x + 1, y) || !InDisc(x, y - 1) || !InDisc(x, y + 1); }

}  // namespace

QImage LampPicture() {
  QImage picture(kPictureSide, kPictureSide, QImage::Format_Indexed8);
  picture.setColorTable(QList<QRgb>(std::begin(kSixteenColours), std::end(kSixteenColours)));
  for (int y = 0; y < kPictureSide; ++y) {
    for (int x = 0; x < kPictureSide; ++x) {
      const int colour = !InDisc(x, y) ? kSilver : OnRim(x, y) ? kBlack : kRed;
      picture.setPixel(x, y, colour);
    }
  }
  return picture;
}
