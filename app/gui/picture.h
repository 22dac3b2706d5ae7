#pragma once
// Decoding of the picture files the window shows (the store logo): PNG through
// libpng's simplified read-from-memory API, JPEG through libjpeg-turbo.
// Corrupt data, other formats and absurd dimensions give a null image.
//
// Usage: QImage logo = app::decode_picture(bytes);  if (logo.isNull()) ...

#include <QImage>

#include "web/text.h"

namespace app {

inline constexpr int kMaxPictureSide = 8192;

QImage decode_picture(const web::Bytes& bytes);

}  // namespace app
