#pragma once
// Barcodes for the printed page, encoded by libzint and kept as its vector
// output (the dark modules as rectangles), so they are drawn as vectors at any
// resolution: sharp on a 203 dpi thermal head and in a PDF alike.
//
// Usage: Barcode code = encode_barcode(Symbology::Code128, order_no);
//        if (code.ok()) draw_barcode(painter, code, {x, y, width, height});

#include <QPainter>
#include <QRectF>
#include <QString>

#include <vector>

namespace printing {

enum class Symbology { Code128, QrCode };

struct Barcode {
  std::vector<QRectF> modules;  // in modules (the narrowest bar is 1 wide), within `size`
  QSizeF size;
  QString error;                // why nothing was encoded
  bool ok() const { return !modules.empty(); }
};

// Code 128 takes printable ASCII (an order number); QR takes any UTF-8 text.
Barcode encode_barcode(Symbology symbology, const QString& data);

// Scales the code to fill `target` (stretched for a linear code, square for
// QR) and paints its modules in black.
void draw_barcode(QPainter& painter, const Barcode& code, const QRectF& target);

// How wide a linear code is in modules (its units): a page lays it out at a
// module width a scanner reads.
inline double modules_wide(const Barcode& code) { return code.size.width(); }

}  // namespace printing
