#include "app/wiring/served_shops.h"

#include "core/archive_keeping.h"
#include "core/table_snapshot.h"

namespace app {

namespace {

using web::gbk;

// Where the shop chosen is kept between runs: its label (or 全部店铺).
constexpr const char* kChosenKey = "shop";
constexpr const char* kChosenSection = "layout";

// The dashboard's figures and the prefix each caption has.
constexpr std::pair<const char*, const char*> kFigures[] = {
    {"标签3", ""},         {"标签4", ""},           {"标签5", ""},         {"标签6", ""},
    {"标签7", "销售中："}, {"标签8", "违规下架："}, {"标签9", "待审核："}, {"标签10", "仓库中："}};

Text after_prefix(const Text& caption, const Text& prefix) {
  return caption.compare(0, prefix.size(), prefix) == 0 ? caption.substr(prefix.size()) : caption;
}

}  // namespace

struct ServedShops::Served {
  Served(Form& window, Settings& settings, Shop s, const std::atomic<bool>& merged)
      : shop(std::move(s)), view(window, shop.label, merged), ctx{view, settings, shop.hosts} {
    view.set_account(shop.account, shop.password);
  }
  Shop shop;
  web::HttpSession session;
  ShopView view;
  Context ctx;
  Operations ops;
};

ServedShops::ServedShops(Form& window, Settings& settings, store::Database* database,
                         store::OrderArchive* archive)
    : m_window(window), m_settings(settings), m_database(database), m_archive(archive) {
  reload();
  // The shop chosen when the program last ran, while it is still served.
  const Text remembered = m_settings.read_setting(kChosenKey, kChosenSection);
  const std::vector<Text> labels = choices();
  for (std::size_t i = 1; i < labels.size(); ++i)
    if (!remembered.empty() && web::to_lower(labels[i]) == web::to_lower(remembered))
      choose(static_cast<int>(i));
}

ServedShops::~ServedShops() = default;

void ServedShops::share_table(Context& ctx) {
  ctx.table = m_table;
  ctx.database = m_database;
  ctx.archive = m_archive;
}

void ServedShops::reload() {
  std::lock_guard lock(m_mutex);
  std::vector<std::unique_ptr<Served>> now;
  for (Shop& shop : read_shops(m_settings)) {
    // A shop served as it stands keeps its session (its login).
    auto same = std::find_if(m_shops.begin(), m_shops.end(), [&](const std::unique_ptr<Served>& s) {
      return s && s->shop.label == shop.label && s->shop.hosts.backoffice == shop.hosts.backoffice &&
             s->shop.hosts.images == shop.hosts.images && s->shop.hosts.tracking == shop.hosts.tracking &&
             s->shop.account == shop.account && s->shop.first == shop.first;
    });
    if (same != m_shops.end()) {
      (*same)->view.set_account(shop.account, shop.password);
      now.push_back(std::move(*same));
      continue;
    }
    auto served = std::make_unique<Served>(m_window, m_settings, std::move(shop), m_merged);
    Context& ctx = served->ctx;
    share_table(ctx);
    serve_shop(ctx, served->shop, &served->session);
    served->ops = bind_operations(ctx);
    served->view.on_change([this] { show_sums(); });
    now.push_back(std::move(served));
  }
  for (auto& old : m_shops)
    if (old) m_retired.push_back(std::move(old));
  m_shops = std::move(now);
  if (!m_whole) {
    m_whole.reset(new Context{m_window, m_settings, m_shops.front()->shop.hosts});
    share_table(*m_whole);
    m_whole_ops = bind_operations(*m_whole);
    // A row's lines are its shop's, read in its session.
    m_whole->goods_lines_of_table_row = [this](const OrderRow& row) {
      const Served* s = shop_labelled(cell_of(row, kColStore));
      return goods_lines_of_row(s ? s->ctx.goods_lines : m_whole->goods_lines, row);
    };
  }
  // A choice that no longer stands (a shop removed) falls back to the first shop.
  const int n = static_cast<int>(m_shops.size());
  if (m_chosen.load() > n || (m_chosen.load() == n && n < 2)) m_chosen = 0;
  if (n < 2) m_merged = false;
  detach_unchosen();
}

std::vector<Text> ServedShops::choices() const {
  std::lock_guard lock(m_mutex);
  std::vector<Text> labels;
  for (const auto& s : m_shops) labels.push_back(s->shop.label);
  if (labels.size() > 1) labels.push_back(all_shops_label());
  return labels;
}

void ServedShops::choose(int index) {
  Served* shop = nullptr;
  {
    std::lock_guard lock(m_mutex);
    const int n = static_cast<int>(m_shops.size());
    if (index < 0 || index > n || (index == n && n < 2)) return;
    m_chosen = index;
    m_merged = index == n;
    shop = m_shops[m_merged ? 0 : index].get();
    detach_unchosen();
  }
  m_settings.write_setting(kChosenKey, choices()[static_cast<std::size_t>(index)], kChosenSection);
  // The boxes are the chosen shop's; while all are chosen each shop uses its own.
  m_window.set_text("编辑框1", shop->shop.account);
  m_window.set_text("编辑框2", shop->shop.password);
  m_window.set_enabled("编辑框1", !m_merged.load());
  m_window.set_enabled("编辑框2", !m_merged.load());
  if (m_merged.load()) show_sums();
}

void ServedShops::detach_unchosen() {
  for (std::size_t i = 0; i < m_shops.size(); ++i)
    m_shops[i]->view.set_detached(!m_merged.load() && static_cast<int>(i) != m_chosen.load());
}

ServedShops::Served& ServedShops::chosen_shop() {
  std::lock_guard lock(m_mutex);
  const int i = m_merged.load() ? 0 : m_chosen.load();
  return *m_shops[static_cast<std::size_t>(std::min<int>(i, static_cast<int>(m_shops.size()) - 1))];
}

Context& ServedShops::context() { return chosen_shop().ctx; }

Context& ServedShops::first() {
  std::lock_guard lock(m_mutex);
  return m_shops.front()->ctx;
}

Context& ServedShops::whole_table() {
  return *m_whole;
}

ServedShops::Served* ServedShops::shop_labelled(const Text& label) {
  std::lock_guard lock(m_mutex);
  for (auto& s : m_shops)
    if (s->shop.label == label) return s.get();
  return nullptr;
}

ServedShops::Served* ServedShops::shop_of_row(int window_row) {
  if (!m_merged.load()) return &chosen_shop();
  if (window_row < 0) return nullptr;
  Served* shop = shop_labelled(m_window.cell(kOrderList, window_row, kColStore));
  if (!shop)
    m_window.message_box(gbk("这一行不属于任何店铺（店铺一栏没有店铺名称），没有处理。"
                             "请选一个店铺再取订单。"));
  return shop;
}

std::vector<ServedShops::Served*> ServedShops::served_now() {
  std::lock_guard lock(m_mutex);
  std::vector<Served*> shops;
  for (auto& s : m_shops) shops.push_back(s.get());
  return shops;
}

void ServedShops::each(std::function<void(Served&)> op) {
  if (!m_merged.load()) return op(chosen_shop());
  for (Served* s : served_now()) op(*s);
}

void ServedShops::show_sums() {
  if (!m_merged.load()) return;
  const std::vector<Served*> shops = served_now();
  for (const auto& [label, prefix] : kFigures) {
    long long sum = 0;
    bool any = false;
    Text each_shop;
    for (Served* s : shops) {
      const Text figure = after_prefix(s->view.kept(label), gbk(prefix));
      if (figure.empty()) continue;
      any = true;
      sum += web::to_integer(figure);
      each_shop += (each_shop.empty() ? "" : "\n") + s->shop.label + gbk("：") + figure;
    }
    if (!any) continue;
    m_window.set_text(label, gbk(prefix) + std::to_string(sum));
    m_window.set_tooltip(label, each_shop);
  }
  // The title: every store's name, and each shop's trouble after the marker.
  const Text welcome = gbk("欢迎您！  "), marker = gbk("  ——  ");
  Text head, names, trouble;
  for (Served* s : shops) {
    const Text title = s->view.kept("title");
    const auto at = title.find(welcome);
    if (at == Text::npos) continue;
    head = title.substr(0, at + welcome.size());
    Text rest = title.substr(at + welcome.size());
    if (const auto m = rest.find(marker); m != Text::npos) {
      trouble += (trouble.empty() ? "" : gbk("；")) + s->shop.label + gbk("：") + rest.substr(m + marker.size());
      rest.erase(m);
    }
    if (!rest.empty()) names += (names.empty() ? "" : gbk("、")) + rest;
  }
  if (!head.empty()) m_window.set_title(head + names + (trouble.empty() ? Text() : marker + trouble));
}

Operations ServedShops::operations() {
  Operations ops;
  // What runs for the chosen shop, or for each shop in turn.
  auto for_each = [this](std::function<void()> Operations::*entry) {
    return [this, entry] { each([entry](Served& s) { if (s.ops.*entry) (s.ops.*entry)(); }); };
  };
  // A list fetched for every shop opens at the table's first row, not at the
  // first row of the shop fetched last.
  auto for_each_list = [this, for_each](std::function<void()> Operations::*entry) {
    return [this, fetch = for_each(entry)] {
      fetch();
      if (m_merged.load() && m_window.row_count(kOrderList) > 0)
        m_window.scroll_to_row(kOrderList, 0);
    };
  };
  // What acts on the selected row: the row's shop.
  auto for_row = [this](std::function<void()> Operations::*entry) {
    return [this, entry] {
      if (Served* s = shop_of_row(m_window.selected_row(kOrderList)); s && s->ops.*entry) (s->ops.*entry)();
    };
  };
  // What acts on the table or the window as a whole: the chosen (first) shop.
  auto for_chosen = [this](std::function<void()> Operations::*entry) {
    return [this, entry] {
      if (chosen_shop().ops.*entry) (chosen_shop().ops.*entry)();
    };
  };

  ops.login = for_each(&Operations::login);
  ops.fetch_all_orders = for_each_list(&Operations::fetch_all_orders);
  ops.toggle_new_order_reminder = for_chosen(&Operations::toggle_new_order_reminder);
  // Every shop is polled: the shops not shown in the table in the background.
  ops.poll_new_orders = [this] {
    for (Served* s : served_now())
      if (s->ops.poll_new_orders) s->ops.poll_new_orders();
  };
  ops.fetch_from_address_id = for_each(&Operations::fetch_from_address_id);
  ops.ship_selected_order = for_row(&Operations::ship_selected_order);
  ops.query_tracking = for_row(&Operations::query_tracking);
  ops.confirm_and_ship_all = [this] {
    if (!m_merged.load()) return chosen_shop().ops.confirm_and_ship_all();
    if (m_window.message_box(gbk("请确保已经导入过快递单号"), gbk("询问"), Buttons::YesNo) != Answer::Yes)
      return;
    m_window.start_worker([this] { each([](Served& s) { s.ops.ship_all_orders(); }); });
  };
  ops.fetch_withdrawable_amount = for_chosen(&Operations::fetch_withdrawable_amount);
  ops.request_withdrawal = for_chosen(&Operations::request_withdrawal);
  ops.list_paid_withdrawals = for_chosen(&Operations::list_paid_withdrawals);
  // The table as a whole goes to and from a workbook, 店铺 column and all.
  ops.export_orders = [this] {
    (m_merged.load() ? m_whole_ops : chosen_shop().ops).export_orders();
  };
  ops.import_orders = [this](const Text& path) {
    (m_merged.load() ? m_whole_ops : chosen_shop().ops).import_orders(path);
  };
  ops.shipping_refusal = [this] { return chosen_shop().ops.shipping_refusal(); };
  // E-waybills are the chosen shop's: its account, its journal, its rows.
  ops.plan_waybills = [this](std::vector<RowKey> keys) {
    return chosen_shop().ops.plan_waybills(std::move(keys));
  };
  ops.order_waybills = [this](std::vector<RowKey> keys, bool ship) {
    return chosen_shop().ops.order_waybills(std::move(keys), ship);
  };
  ops.mark_labels_printed = [this](const std::vector<waybill::WaybillOutcome>& done) {
    chosen_shop().ops.mark_labels_printed(done);
  };
  ops.waybill_label = [this](const std::string& id) { return chosen_shop().ops.waybill_label(id); };
  ops.waybill_courier = [this] { return chosen_shop().ops.waybill_courier(); };
  ops.cancel_waybill = [this](const std::string& id, std::string* said) {
    return chosen_shop().ops.cancel_waybill(id, said);
  };
  ops.settle_waybill = [this](const std::string& id, const std::string& number, std::string* said) {
    return chosen_shop().ops.settle_waybill(id, number, said);
  };
  ops.scan_refusal = [this](int row) {
    Served* s = shop_of_row(row);
    return s ? s->ops.scan_refusal(s->view.view_row(row)) : gbk("这一行不属于任何店铺");
  };
  ops.ship_scanned_row = [this](int row, const Text& tracking, Text* said) {
    Served* s = shop_of_row(row);
    if (!s) return false;
    return s->ops.ship_scanned_row(s->view.view_row(row), tracking, said);
  };
  ops.refresh_dashboard = for_each(&Operations::refresh_dashboard);
  ops.settle_unknown_shipments = for_each(&Operations::settle_unknown_shipments);
  ops.order_extras = [this](const std::vector<Text>& row) {
    Served* s = m_merged.load() ? shop_labelled(cell_of(row, kColStore)) : &chosen_shop();
    return s ? s->ops.order_extras(row) : OrderExtras{};
  };
  ops.gather_for_print = [this](printing::Document document, std::vector<RowKey> keys) {
    if (!m_merged.load()) return chosen_shop().ops.gather_for_print(document, std::move(keys));
    // Each shop gathers its own rows (its details fetched in its session).
    printing::PrintJob job;
    job.document = document;
    each([&](Served& s) {
      std::vector<RowKey> mine;
      for (RowKey key : keys)
        if (s.view.row_of_key(kOrderList, key) >= 0) mine.push_back(key);
      if (!keys.empty() && mine.empty()) return;
      printing::PrintJob part = s.ops.gather_for_print(document, std::move(mine));
      if (job.source.empty()) job.source = part.source;
      for (auto& o : part.orders) job.orders.push_back(std::move(o));
      for (auto& l : part.left_out) job.left_out.push_back(std::move(l));
    });
    return job;
  };
  ops.fetch_unpaid_orders = for_each_list(&Operations::fetch_unpaid_orders);
  ops.fetch_orders_to_ship = for_each_list(&Operations::fetch_orders_to_ship);
  ops.fetch_orders_to_receive = for_each_list(&Operations::fetch_orders_to_receive);
  ops.fetch_order_details = for_each(&Operations::fetch_order_details);
  ops.ship_all_orders = for_each(&Operations::ship_all_orders);
  ops.retry_failed_shipments = for_each(&Operations::retry_failed_shipments);
  ops.query_all_tracking = for_each(&Operations::query_all_tracking);
  return ops;
}

}  // namespace app
