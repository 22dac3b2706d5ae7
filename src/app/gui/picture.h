#pragma once
// Decoding of the picture files the window shows (the store logo): PNG through
// libpng's simplified read-from-memory API, JPEG through libjpeg-turbo.
// Corrupt data, other formats and absurd dimensions give a null image.
//
// Usage: QImage logo = app::decode_picture(bytes);  if (logo.isNull()) ...

#include <QImage>

#include "web/text.h"

namespace app {

// Far beyond any store logo, far below what would strain memory.
inline constexpr int kMaxPictureSide = 4096;
inline constexpr long long kMaxPicturePixels = 4096LL * 2048;

QImage decode_picture(const web::Bytes& bytes);

}  // namespace app
