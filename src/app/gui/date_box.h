#pragma once
// A date box ("2024-05-01", with a calendar to pick from and arrows to step)
// that also takes a date typed whole, as "20240501" or "2024-05-01": it is
// read when the typing is finished (Enter, or leaving the box), and
// dateChanged comes then, not at every key.
//
// Usage: auto* since = new DateBox(this);
//        connect(since, &QDateEdit::dateChanged, this, [this] { refresh(); });

#include <QDate>
#include <QDateEdit>

namespace app {

// The date `text` spells as "yyyyMMdd" or "yyyy-MM-dd" (also with "/" or "."
// and one-digit months and days); an invalid date for anything else.
QDate typed_date(const QString& text);

class DateBox : public QDateEdit {
 public:
  explicit DateBox(QWidget* parent = nullptr);

 protected:
  // A digit or separator typed over the whole date (selected, or erased)
  // starts a date typed whole; the box's own editing goes section by
  // section and would put it into one part of the date shown.
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  QValidator::State validate(QString& input, int& pos) const override;
  QDateTime dateTimeFromText(const QString& text) const override;

 private:
  // Shows what was typed so far without the box hearing of it: it would
  // take it for one part of the date and put the whole date back.
  void show_typed();

  bool m_typing_whole = false;
  QString m_typed;
};

}  // namespace app
