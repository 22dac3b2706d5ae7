#include "app/gui/dialogs.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "exchange/export.h"

namespace app {

bool install_qt_translations() {
  // Lives as long as the application; installed once.
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load(QStringLiteral("qtbase_zh_CN"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  translator = t;
  return true;
}

std::unique_ptr<QFileDialog> workbook_save_dialog(QWidget* parent, const QString& suggested) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(QString::fromUtf8("Excel 工作簿 (*.xlsx)"));
  dialog->setDefaultSuffix(QStringLiteral("xlsx"));
  dialog->selectFile(suggested);
  return dialog;
}

QString export_path_for(const QString& name) {
  return QString::fromStdString((exchange::export_folder() / name.toStdString()).string());
}

}  // namespace app
