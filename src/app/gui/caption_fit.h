#pragma once
// Fixed captions at the form's fixed geometry: a caption wider than its
// control is wrapped onto more lines where the control is tall enough, and
// otherwise drawn in a smaller font, so it can be read whole without moving
// or resizing anything. A line edit whose text must be seen whole (a sender
// id, a courier code, a tracking number) gets a smaller font when it would
// not show whole, typed or filled in.
//
// Usage: fit_caption(label);          // after its text changes
//        keep_text_fitted(line_edit);  // once; refits on every text change

class QCheckBox;
class QLabel;
class QLineEdit;

namespace app {

void fit_caption(QLabel* label);
void fit_caption(QCheckBox* check);
void keep_text_fitted(QLineEdit* edit);

}  // namespace app
