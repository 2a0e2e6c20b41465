// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRgb>

// The pulse lamp: a red disc with a black rim on silver, 32 × 32 pixels in the sixteen standard
// colours. The silver is background, which the window leaves out when it shows the picture.

inline constexpr QRgb kLampBackground = qRgb(192, 192, 192);

QImage LampPicture();
