#pragma once
// The question before a batch whose rows are not all ready: how many can be
// shipped, the others with order number, tracking number and reason, and
// three choices (ship the ready rows only, the default; ship all as listed;
// cancel). Closing it cancels.
//
// Usage: app::BatchChoice c = app::ask_batch_dialog(window, ready, total, problems);

#include <QWidget>

#include <vector>

#include "core/form.h"

namespace app {

BatchChoice ask_batch_dialog(QWidget* parent, int ready, int total,
                             const std::vector<BatchProblem>& problems);

}  // namespace app
