#pragma once
// The shops the window serves (core/shops.h): one context, one view of the
// window (core/shop_view.h) and one set of bound operations per shop. What
// the window binds runs the chosen shop's operations, exactly as with one
// shop; with 全部店铺 it runs every shop's in turn (logins, lists, batches,
// the reminder's polls), a row's operations in the row's shop, and shows the
// dashboard's sums and each shop's trouble in the title.
//
// Usage: ServedShops shops(window, settings, &database, &archive);
//        window.set_operations(shops.operations());
//        shops.choose(1);   // an index into choices()

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "app/wiring/operations.h"
#include "core/context.h"
#include "core/shop_view.h"
#include "core/shops.h"

namespace app {

class ServedShops {
 public:
  ServedShops(Form& window, Settings& settings, store::Database* database,
              store::OrderArchive* archive);
  ~ServedShops();
  ServedShops(const ServedShops&) = delete;
  ServedShops& operator=(const ServedShops&) = delete;

  // The shops' labels, then 全部店铺 when there is more than one.
  std::vector<Text> choices() const;
  int chosen() const { return m_chosen.load(); }
  bool all_chosen() const { return m_merged.load(); }
  // Serves choice `index` from now on; the account boxes show its account.
  // The choice is kept in the settings file (key `shop` of section
  // `layout`) and served again at the next start while the shop is there.
  void choose(int index);
  // The chosen shop's context (the first shop's while all are chosen).
  Context& context();
  // The first shop's context, which the window's own pages start with.
  Context& first();
  // A context on the whole table and the first shop's hosts (every shop's
  // rows when all are chosen), for what reads the table as a whole.
  Context& whole_table();
  Operations operations();
  // Reads the shops from the settings file again (after they were edited):
  // a shop whose hosts or account changed is served anew.
  void reload();

 private:
  struct Served;
  Served& chosen_shop();
  Served* shop_labelled(const Text& label);
  Served* shop_of_row(int window_row);  // with 全部店铺: by the row's 店铺 cell
  // The shops served now (their objects outlive a reload: see m_retired).
  std::vector<Served*> served_now();
  // What every shop's context shares: the order table, the database, the archive.
  void share_table(Context& ctx);
  // Runs `op` for the chosen shop, or for every shop with 全部店铺.
  void each(std::function<void(Served&)> op);
  void show_sums();
  // The shops not chosen (one shop chosen) poll on no table; called locked.
  void detach_unchosen();

  Form& m_window;
  Settings& m_settings;
  store::Database* m_database;
  store::OrderArchive* m_archive;
  std::shared_ptr<Context::SharedTable> m_table = std::make_shared<Context::SharedTable>();
  std::atomic<bool> m_merged{false};
  std::atomic<int> m_chosen{0};
  mutable std::mutex m_mutex;
  std::vector<std::unique_ptr<Served>> m_shops;    // served now, in the settings' order
  std::vector<std::unique_ptr<Served>> m_retired;  // replaced; kept for workers still using them
  // The table as a whole (with 全部店铺: the workbooks, every shop's rows).
  std::unique_ptr<Context> m_whole;
  Operations m_whole_ops;
};

}  // namespace app
