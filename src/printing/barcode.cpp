#include "printing/barcode.h"

#include <zint.h>

#include <memory>

namespace printing {

Barcode encode_barcode(Symbology symbology, const QString& data) {
  Barcode code;
  if (data.isEmpty()) {
    code.error = QStringLiteral("empty");
    return code;
  }
  std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), ZBarcode_Delete);
  if (!symbol) {
    code.error = QStringLiteral("out of memory");
    return code;
  }
  symbol->symbology = symbology == Symbology::Code128 ? BARCODE_CODE128 : BARCODE_QRCODE;
  symbol->input_mode = symbology == Symbology::Code128 ? DATA_MODE : UNICODE_MODE;
  symbol->show_hrt = 0;  // the page prints the number in its own font
  symbol->height = 40;   // modules; draw_barcode stretches it anyway
  QByteArray bytes = data.toUtf8();
  if (symbology == Symbology::Code128) {
    // A scanner types what the code holds: only printable ASCII goes in.
    for (char c : bytes)
      if (c < 0x20 || c > 0x7e) {
        code.error = QStringLiteral("not printable ASCII");
        return code;
      }
  }
  const int rc = ZBarcode_Encode_and_Buffer_Vector(
      symbol.get(), reinterpret_cast<const unsigned char*>(bytes.constData()),
      static_cast<int>(bytes.size()), 0);
  if (rc >= ZINT_ERROR || !symbol->vector) {
    code.error = QString::fromUtf8(symbol->errtxt);
    return code;
  }
  // libzint's vector units are a fraction of a module (two to one at its
  // default scale); kept in modules, a page can size a module in millimetres.
  const double unit = symbol->width > 0 ? symbol->vector->width / symbol->width : 1.0;
  code.size = QSizeF(symbol->vector->width / unit, symbol->vector->height / unit);
  for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next)
    if (r->colour == -1 || r->colour == 7)
      code.modules.emplace_back(r->x / unit, r->y / unit, r->width / unit, r->height / unit);
  if (code.modules.empty()) code.error = QStringLiteral("nothing drawn");
  return code;
}

void draw_barcode(QPainter& painter, const Barcode& code, const QRectF& target) {
  if (!code.ok() || code.size.isEmpty() || target.isEmpty()) return;
  double sx = target.width() / code.size.width();
  double sy = target.height() / code.size.height();
  QPointF origin = target.topLeft();
  if (code.size.width() == code.size.height()) {  // a square matrix stays square
    sx = sy = std::min(sx, sy);
    origin += QPointF((target.width() - code.size.width() * sx) / 2, 0);
  }
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  // Abutting bars merge without hairline seams in the PDF viewer.
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const QRectF& m : code.modules)
    painter.drawRect(QRectF(origin.x() + m.x() * sx, origin.y() + m.y() * sy, m.width() * sx,
                            m.height() * sy));
  painter.restore();
}

}  // namespace printing
