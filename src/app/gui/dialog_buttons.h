#pragma once
// The bottom row of the program's read-only windows: a button that puts a
// text on the clipboard, and 关闭 (the default button, which closes).
//
// Usage: layout->addLayout(copy_and_close_row(dialog, u("复制"), text));

#include <QDialog>
#include <QHBoxLayout>
#include <QString>

namespace app {

QHBoxLayout* copy_and_close_row(QDialog& dialog, const QString& copy_caption,
                                const QString& text);

}  // namespace app
