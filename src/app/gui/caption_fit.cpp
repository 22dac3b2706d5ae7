#include "app/gui/caption_fit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

namespace app {

namespace {

constexpr int kSmallestPixels = 8;
constexpr const char* kBasePixels = "weihe_base_pixels";

// The font size the control was given, remembered at its first fitting so a
// shorter text later gets it back.
int base_pixels(QWidget* w) {
  const QVariant kept = w->property(kBasePixels);
  if (kept.isValid()) return kept.toInt();
  const int px = w->font().pixelSize() > 0 ? w->font().pixelSize() : 12;
  w->setProperty(kBasePixels, px);
  return px;
}

QFont with_pixels(QFont f, int px) {
  f.setPixelSize(px);
  return f;
}

bool fits(const QFont& font, const QRect& room, const QString& text, bool wrap) {
  const QRect need = QFontMetrics(font).boundingRect(
      room, (wrap ? Qt::TextWordWrap : 0) | Qt::AlignLeft | Qt::AlignTop, text);
  return need.width() <= room.width() && need.height() <= room.height();
}

// The largest font size (down to the smallest) at which `text` fits `room`,
// on one line or, where `may_wrap`, wrapped; sets *wrap accordingly.
int fitting_pixels(QWidget* w, const QRect& room, const QString& text, bool may_wrap, bool* wrap) {
  const int base = base_pixels(w);
  for (int px = base; px >= kSmallestPixels; --px) {
    const QFont f = with_pixels(w->font(), px);
    *wrap = false;
    if (fits(f, room, text, false)) return px;
    *wrap = may_wrap;
    if (may_wrap && fits(f, room, text, true)) return px;
  }
  return kSmallestPixels;
}

}  // namespace

void fit_caption(QLabel* label) {
  bool wrap = false;
  const int px = fitting_pixels(label, label->contentsRect(), label->text(), true, &wrap);
  label->setWordWrap(wrap);
  label->setFont(with_pixels(label->font(), px));
}

void fit_caption(QCheckBox* check) {
  const int box = check->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                  check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
  bool wrap = false;
  const QRect room = check->contentsRect().adjusted(0, 0, -box, 0);
  check->setFont(with_pixels(check->font(), fitting_pixels(check, room, check->text(), false, &wrap)));
}

void keep_text_fitted(QLineEdit* edit) {
  auto refit = [edit] {
    // The text area: inside the frame, less the edit's own 2-pixel margins.
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int room = edit->contentsRect().width() - 2 * frame - 4;
    int px = base_pixels(edit);
    while (px > kSmallestPixels &&
           QFontMetrics(with_pixels(edit->font(), px)).horizontalAdvance(edit->text()) >= room)
      --px;
    edit->setFont(with_pixels(edit->font(), px));
  };
  QObject::connect(edit, &QLineEdit::textChanged, edit, refit);
  refit();
}

}  // namespace app
