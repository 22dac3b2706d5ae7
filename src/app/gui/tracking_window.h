#pragma once
// A parcel's tracking as a timeline: its number, courier and state, the
// events newest first, and a button that copies the service's raw answer.
// Modal, like the message box it stands in for.
//
// Usage: app::show_tracking_window(window, timeline);

#include <QWidget>

#include "core/form.h"

namespace app {

void show_tracking_window(QWidget* parent, const TrackingTimeline& timeline);

}  // namespace app
