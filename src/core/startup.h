#pragma once
// What every front end (the window, the command line) does at start with the
// settings file: the hosts it talks to, and the four boxes filled from it.
//
// Usage: app::Hosts hosts = app::hosts_of(settings);
//        app::fill_settings_boxes(form, settings);

#include "core/context.h"

namespace app {

// The `hosts` section; a missing key gives the stand-in mall's loopback address.
Hosts hosts_of(const Settings& settings);

// 编辑框1 account, 编辑框2 password, 编辑框7 tracking key, 编辑框8 tracking
// courier; each box is set, also to the empty text.
void fill_settings_boxes(Form& form, const Settings& settings);

// The window's shipping courier (编辑框12) and sender id (编辑框13) across
// restarts, in a section of our own ("shipping"): restored at start where
// kept (the courier, until one is kept, from "快递类型", the tracking
// courier), saved after shipping and at exit.
void restore_shipping_choice(Form& form, const Settings& settings);
void save_shipping_choice(Form& form, Settings& settings);

}  // namespace app
