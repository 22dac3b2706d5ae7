#pragma once
// The program's texts (GB18030) as Qt strings and back, for the widgets.
//
// Usage: label->setText(qs(form_text));  Text typed = tx(edit->text());

#include <QString>

#include "web/text.h"

namespace app {

inline QString qs(const web::Text& text) {
  return QString::fromStdString(web::gbk_to_utf8(text));
}
inline web::Text tx(const QString& text) {
  return web::utf8_to_gbk(text.toStdString());
}

}  // namespace app
