#pragma once
// The print preview of a pick list or of packing slips: Qt's preview with its
// printer, page set-up and orientation, plus the paper sizes the documents
// are made for (remembered in key `paper` of section `print`), the pick
// list's choices, and "保存为PDF", which writes the pages shown to a file.
//
// Usage: auto* preview = new PrintPreview(window, settings, std::move(job));
//        preview->open();   // window-modal; deletes itself when closed

#include <QPrintPreviewDialog>
#include <QPrinter>

#include "printing/print_job.h"

class QComboBox;
class QPrintPreviewWidget;

namespace app {

class Settings;

class PrintPreview : public QPrintPreviewDialog {
  Q_OBJECT

 public:
  PrintPreview(QWidget* parent, Settings& settings, printing::PrintJob job);

  QComboBox* paper_choice() const { return m_paper_choice; }
  const printing::PrintOptions& options() const { return m_options; }
  const printing::PrintJob& job() const { return m_job; }
  // Writes the document as shown; false with the reason told in a message box.
  bool save_pdf(const QString& path);
  // Asks where, then save_pdf.
  void ask_and_save_pdf();

 private:
  void paint(QPrinter* printer);
  void choose_paper(int index);
  void show_again();

  Settings& m_settings;
  printing::PrintJob m_job;
  printing::PrintOptions m_options;
  QPrinter* m_printer = nullptr;
  QComboBox* m_paper_choice = nullptr;
  QPrintPreviewWidget* m_preview = nullptr;
};

}  // namespace app
