#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>

#include <fstream>
#include <iterator>

#include "app/gui/picture.h"
#include "app/gui/picture_box.h"

namespace {

web::Bytes encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

QImage sample(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor(200, 30, 40));
  return image;
}

// A PNG signature and header chunk claiming the given size, with a valid CRC.
web::Bytes png_header(uint32_t w, uint32_t h) {
  auto be32 = [](uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  std::string chunk = "IHDR" + be32(w) + be32(h) + std::string("\x08\x02\x00\x00\x00", 5);
  uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size());
  return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + chunk + be32(crc);
}

TEST(Picture, DecodesPngAndJpegAndRefusesTheRest) {
  QImage png = app::decode_picture(encode(sample(30, 20), "PNG"));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(30, 20));
  EXPECT_EQ(png.pixelColor(5, 5), QColor(200, 30, 40));
  QImage jpeg = app::decode_picture(encode(sample(64, 48), "JPG"));
  ASSERT_FALSE(jpeg.isNull());
  EXPECT_EQ(jpeg.size(), QSize(64, 48));
  EXPECT_NEAR(jpeg.pixelColor(10, 10).red(), 200, 12);

  EXPECT_TRUE(app::decode_picture("").isNull());
  EXPECT_TRUE(app::decode_picture("<html>not a picture</html>").isNull());
  EXPECT_TRUE(app::decode_picture(png_header(100000, 100000)).isNull());  // absurd size
  EXPECT_TRUE(app::decode_picture(png_header(10, 10)).isNull());          // no pixel data
  EXPECT_TRUE(app::decode_picture("\xFF\xD8\xFF\xE0garbage").isNull());

  // A truncated JPEG gives no picture, at any cut; a tiny file claiming
  // 8192 x 8192 is refused from its header.
  QImage noisy(300, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) noisy.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, x ^ y));
  const web::Bytes whole = encode(noisy, "JPG");
  ASSERT_FALSE(app::decode_picture(whole).isNull());
  for (size_t cut : {size_t{40}, whole.size() / 3, whole.size() - 10})
    EXPECT_TRUE(app::decode_picture(whole.substr(0, cut)).isNull()) << cut;
  std::ifstream in(std::string(WEIHE_TEST_DATA) + "/app/jpeg-2290-bytes-claims-8192x8192.jpg",
                   std::ios::binary);
  const web::Bytes bomb{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(bomb.size(), 2290u);
  EXPECT_TRUE(app::decode_picture(bomb).isNull());
}

TEST(Picture, DisplayModes) {
  app::PictureBox box;
  box.resize(56, 56);
  EXPECT_EQ(box.target_rect(), QRect());
  box.set_picture(sample(20, 10));
  box.set_mode(0);
  EXPECT_EQ(box.target_rect(), QRect(0, 0, 20, 10));
  box.set_mode(1);
  EXPECT_EQ(box.target_rect(), QRect(0, 0, 56, 56));
  box.set_mode(2);  // small pictures are centred at their own size
  EXPECT_EQ(box.target_rect(), QRect(18, 23, 20, 10));
  box.set_picture(sample(112, 28));  // large ones shrink, keeping their aspect
  EXPECT_EQ(box.target_rect(), QRect(0, 21, 56, 14));
  box.set_mode(7);
  EXPECT_EQ(box.mode(), 2);
  box.set_mode(-3);
  EXPECT_EQ(box.mode(), 0);
}

}  // namespace
