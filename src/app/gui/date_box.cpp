#include "app/gui/date_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace app {

namespace {

// What a date typed whole looks like on its way: digits, with at most two
// separators; anything else is edited section by section as usual.
bool typing_whole(const QString& text) {
  static const QRegularExpression kTyping(
      QStringLiteral("^\\d{0,8}$|^\\d{4}[-/.]\\d{0,2}([-/.]\\d{0,2})?$"));
  return kTyping.match(text.trimmed()).hasMatch();
}

}  // namespace

QDate typed_date(const QString& text) {
  static const QRegularExpression kWhole(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
  static const QRegularExpression kParts(
      QStringLiteral("^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})$"));
  const QString t = text.trimmed();
  if (const auto m = kWhole.match(t); m.hasMatch())
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  if (const auto m = kParts.match(t); m.hasMatch())
    return QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
  return {};
}

DateBox::DateBox(QWidget* parent) : QDateEdit(parent) {
  setCalendarPopup(true);
  setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  setKeyboardTracking(false);
}

void DateBox::keyPressEvent(QKeyEvent* event) {
  QLineEdit* edit = lineEdit();
  const QString key = event->text();
  const bool date_key =
      key.size() == 1 && (key[0].isDigit() || QStringLiteral("-/.").contains(key[0]));
  const bool over_all =
      edit->text().isEmpty() || (edit->hasSelectedText() && edit->selectedText() == edit->text());
  if (date_key && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
      (m_typing_whole || over_all)) {
    if (!m_typing_whole) m_typed.clear();
    m_typing_whole = true;
    m_typed += key;
    return show_typed();
  }
  if (m_typing_whole && event->key() == Qt::Key_Backspace) {
    m_typed.chop(1);
    return show_typed();
  }
  // Any other key ends it: Enter reads what was typed (an unfinished date
  // gives way to the date there was), arrows step the date as usual.
  m_typing_whole = false;
  QDateEdit::keyPressEvent(event);
}

void DateBox::show_typed() {
  QLineEdit* edit = lineEdit();
  const QSignalBlocker quiet(edit);
  edit->setText(m_typed);
  edit->setCursorPosition(static_cast<int>(m_typed.size()));
}

void DateBox::focusOutEvent(QFocusEvent* event) {
  // Leaving the box finishes the typing too (the box itself never heard of
  // it): a whole date is taken, anything else gives way to the date there was.
  if (m_typing_whole) {
    m_typing_whole = false;
    const QDate typed = typed_date(m_typed);
    if (typed.isValid() && typed >= minimumDate() && typed <= maximumDate()) setDate(typed);
  }
  QDateEdit::focusOutEvent(event);
}

QValidator::State DateBox::validate(QString& input, int& pos) const {
  if (!typing_whole(input)) return QDateEdit::validate(input, pos);
  const QDate date = typed_date(input);
  if (!date.isValid()) return QValidator::Intermediate;  // more to come, or fixed on Enter
  return date >= minimumDate() && date <= maximumDate() ? QValidator::Acceptable
                                                        : QValidator::Intermediate;
}

QDateTime DateBox::dateTimeFromText(const QString& text) const {
  if (const QDate date = typed_date(text); date.isValid()) return date.startOfDay();
  return QDateEdit::dateTimeFromText(text);
}

}  // namespace app
