#pragma once
// Login (按钮1, UI thread): signs the merchant in with the account and password
// of 编辑框1 and 编辑框2, keeps the CSRF token for shipping, shows the store
// logo and fills the dashboard labels; announces the outcome by speech, the
// activity log and the progress bar; saves the account and password in the
// settings file after every attempt and sets the window title.
//
// Usage: if (backoffice::login(ctx)) ...

#include "core/context.h"

namespace backoffice {

// True when the merchant is signed in.
bool login(app::Context& ctx);

struct Dashboard;
// Fills the dashboard labels (标签3 to 标签10) from the dashboard's figures.
void show_dashboard(app::Form& form, const Dashboard& d);

}  // namespace backoffice
