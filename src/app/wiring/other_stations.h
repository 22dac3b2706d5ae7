#pragma once
// What the other packing stations ship shows in this station's order table
// within a second: the row of an order another station shipped says who
// ("已由二号台发货") and reads as 待收货, as a row this station shipped does.
// Only with a shared store; nothing is listened to on the file.
//
// Usage: auto listening = app::show_other_stations(window, settings, database, shops);

#include <memory>

#include "store/station_events.h"

class QObject;

namespace store {
class Database;
}

namespace app {

class Form;
class Settings;
class ServedShops;

std::unique_ptr<store::StationEvents> show_other_stations(QObject* window, Form& form, const Settings& settings,
                                                          const store::Database& database, ServedShops& shops);

}  // namespace app
