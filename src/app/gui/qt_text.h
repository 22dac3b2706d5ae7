#pragma once
// The program's texts (GB18030) as Qt strings and back, for the widgets;
// u() for the captions written in the source (UTF-8); the colours that mark
// good, bad and skipped outcomes wherever they are shown.
//
// Usage: label->setText(qs(form_text));  Text typed = tx(edit->text());
//        button->setText(u("关闭"));

#include <QColor>
#include <QString>

#include <string>

#include "web/text.h"

namespace app {

inline QString qs(const web::Text& text) {
  return QString::fromStdString(web::gbk_to_utf8(text));
}
inline web::Text tx(const QString& text) {
  return web::utf8_to_gbk(text.toStdString());
}
inline QString u(const char* utf8) {
  return QString::fromUtf8(utf8);
}
// UTF-8 texts from elsewhere (the archive, the report) as Qt strings.
inline QString q8(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

inline const QColor kGreen(0, 128, 0);  // shipped, scanned and sent
inline const QColor kRed(255, 0, 0);    // failed or refused
inline const QColor kGrey(128, 128, 128);  // skipped

}  // namespace app
