#pragma once
// Qt's own dialogs as the program uses them: in Chinese (Qt's translations
// for the system's language), and the save dialog for a workbook.
//
// Usage: app::install_qt_translations();          // once, after QApplication
//        auto dialog = app::workbook_save_dialog(window, app::export_path_for(name));

#include <QFileDialog>
#include <memory>

namespace app {

// Loads Qt's Chinese translations (Debian package qt6-translations-l10n), so
// dialogs read 保存/取消/确定/是/否. False when they are not installed.
bool install_qt_translations();

// A save dialog offering "Excel 工作簿 (*.xlsx)"; a name typed without an
// extension gets ".xlsx".
std::unique_ptr<QFileDialog> workbook_save_dialog(QWidget* parent, const QString& suggested);

// `name` in the folder an export's save dialog opens in (the last export's,
// else the desktop: exchange::export_folder()), to propose.
QString export_path_for(const QString& name);

}  // namespace app
