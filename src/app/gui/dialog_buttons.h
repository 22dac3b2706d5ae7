#pragma once
// The bottom row of the program's read-only windows: a button that puts a
// text on the clipboard, and 关闭 (the default button, which closes). And
// the size of such a window, within the screen it opens on.
//
// Usage: layout->addLayout(copy_and_close_row(dialog, u("复制"), text));
//        resize_within_screen(dialog, {560, 620});

#include <QDialog>
#include <QHBoxLayout>
#include <QString>

namespace app {

QHBoxLayout* copy_and_close_row(QDialog& dialog, const QString& copy_caption,
                                const QString& text);

// `wanted`, no taller than the screen leaves room for (a title bar
// included), so the buttons at the bottom stay in reach on a small screen.
void resize_within_screen(QWidget& window, QSize wanted);

}  // namespace app
