#pragma once
// The window as operations see it. Every operation (login, list fetches,
// shipping, import...) reads its inputs from and writes its results to a Form;
// the Qt main window implements it and tests implement it in memory.
//
// Controls are addressed by their form names as UTF-8 ("编辑框1", "按钮4",
// "超级列表框1"). Texts are system text (GB18030, see web/text.h). Every call
// is safe from any thread and takes effect as a whole.
//
// Usage: form.set_text("编辑框13", id);
//        int r = form.append_row(kOrderList, cells);

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "web/text.h"

namespace app {

using web::Bytes;
using web::Text;

inline constexpr std::string_view kOrderList = "超级列表框1";
inline constexpr std::string_view kWithdrawalList = "超级列表框2";

// Columns of the order list (OrderRow), 0-based.
enum OrderColumn : int {
  kColSerial = 0,         // 序号
  kColOrderNo = 1,        // 订单号
  kColMember = 2,         // 会员
  kColStore = 3,          // 店铺 (width 0)
  kColTotal = 4,          // 订单总额
  kColPaid = 5,           // 支付金额
  kColPayTime = 6,        // 支付时间
  kColState = 7,          // 状态
  kColId = 8,             // ID: the back office's order id
  kColGoods = 9,          // 商品 .. 快递单号: filled by the detail fetch
  kColMessage = 17,       // 留言
  kColConsignee = 18,     // 收货人
  kColPhone = 19,         // 电话
  kColAddress = 20,       // 地址
  kColTrackingNo = 21,    // 快递单号
  kColTrackingInfo = 22,  // 物流信息
  kColShipStatus = 23,    // 发货状态
  kOrderColumnCount = 26,
};

// One row of the order list: its cells, column by column. A row read from the
// list has as many cells as the list has columns (at least 26).
using OrderRow = std::vector<Text>;

// A stable identity of a list row: it survives rows above it being deleted or
// inserted, and is never reused. 0 is "no row".
using RowKey = std::uint64_t;

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// A row a batch would not ship as listed, or ships with a warning.
struct BatchProblem {
  Text order_no;
  Text tracking_no;
  Text reason;
  bool warning_only = false;  // shipped only when the merchant takes the warned rows too
};
// ReadyOnly sends the rows without a problem; WithWarned those and the rows
// with a mere warning; All every row as listed.
enum class BatchChoice { ReadyOnly, WithWarned, All, Cancel };

// A parcel's tracking as a timeline window shows it (system text).
struct TrackingTimeline {
  Text tracking_no, courier, state_name;
  struct Event {
    Text time, context, location;
  };
  std::vector<Event> events;  // newest first
  Text reply;                 // the service's answer as stored
};

// One of the merchant's sender addresses: the id shipping sends, and the
// address as the back office's address page shows it.
struct SenderAddress {
  Text id, text;
};

class Form {
 public:
  virtual ~Form() = default;

  // Edit boxes: their text. Buttons, labels, the check box: their caption.
  virtual Text text(std::string_view control) = 0;
  virtual void set_text(std::string_view control, const Text& text) = 0;
  virtual Text title() = 0;
  virtual void set_title(const Text& title) = 0;
  virtual void set_enabled(std::string_view control, bool enabled) = 0;
  virtual bool is_enabled(std::string_view control) = 0;
  virtual bool is_checked(std::string_view control) = 0;
  virtual void set_progress(int position) = 0;  // 进度条1, 0..100
  // 时钟1: 0 or less stops it; a positive value restarts it unless unchanged.
  virtual void set_timer_interval(int milliseconds) = 0;
  virtual int timer_interval() = 0;
  // 图片框1: picture file bytes (PNG or JPEG); anything else shows no picture.
  virtual void set_picture(const Bytes& image) = 0;
  virtual void set_picture_mode(int mode) = 0;

  // Report list views ("超级列表框1", "超级列表框2").
  virtual int row_count(std::string_view list) = 0;
  // Appends a row holding `cells` (missing cells empty); returns its index.
  virtual int append_row(std::string_view list, const std::vector<Text>& cells = {}) = 0;
  virtual Text cell(std::string_view list, int row, int column) = 0;
  virtual void set_cell(std::string_view list, int row, int column, const Text& text) = 0;
  virtual void delete_row(std::string_view list, int row) = 0;
  virtual void clear_rows(std::string_view list) = 0;
  virtual void scroll_to_row(std::string_view list, int row) = 0;
  virtual int selected_row(std::string_view list) = 0;  // -1 when none
  virtual int column_count(std::string_view list) = 0;
  virtual Text column_title(std::string_view list, int column) = 0;
  virtual void append_column(std::string_view list, const Text& title, int width) = 0;
  // Whole-table access in one step, for batches and workbooks.
  virtual std::vector<OrderRow> rows(std::string_view list) = 0;
  virtual void replace_rows(std::string_view list, const std::vector<OrderRow>& rows) = 0;
  // Row identity: key of a row index (0 when out of range), and writes that
  // land on the keyed row wherever it now is (false when it was deleted).
  virtual RowKey row_key(std::string_view list, int row) = 0;
  virtual int row_of_key(std::string_view list, RowKey key) = 0;  // -1 when it was deleted
  virtual bool set_cells_by_key(std::string_view list, RowKey key, int first_column,
                                const std::vector<Text>& texts) = 0;
  // Every row's key, in order, in one step where the form can.
  virtual std::vector<RowKey> row_keys(std::string_view list) {
    std::vector<RowKey> keys;
    for (RowKey key; (key = row_key(list, static_cast<int>(keys.size())));) keys.push_back(key);
    return keys;
  }
  // The indexes of the rows whose cell in `column` is `text`, in order, in
  // one step (a window answers it without copying the table).
  virtual std::vector<int> rows_where(std::string_view list, int column, const Text& text) {
    std::vector<int> found;
    const int n = row_count(list);
    for (int r = 0; r < n; ++r)
      if (cell(list, r, column) == text) found.push_back(r);
    return found;
  }

  // Shared services.
  virtual void append_log(const Text& text) = 0;  // 编辑框6, no line break added
  // Task-modal message box; an empty title means "信息：".
  virtual Answer message_box(const Text& text, const Text& title = {},
                             Buttons buttons = Buttons::Ok) = 0;
  virtual bool speak(const Text& text) = 0;
  // Runs `operation` on a new thread and returns at once.
  virtual void start_worker(std::function<void()> operation) = 0;
  // Lets the window repaint and serve workers' calls once, taking no user
  // input (no-op off the UI thread).
  virtual void process_events() = 0;
  // Runs a blocking `job` (a request, waiting for a lock) to completion. On the
  // UI thread the window keeps painting meanwhile but takes no user input.
  virtual void wait(const std::function<void()>& job) = 0;
  // Save dialog for a workbook; the empty text when cancelled.
  virtual Text ask_save_path(const Text& suggested) = 0;
  // Before a batch whose rows are not all ready: `ready` of `total` rows have
  // no problem, `problems` lists every other row, the warned ones with
  // `warning_only`. ReadyOnly is the default answer.
  virtual BatchChoice ask_batch(int ready, int total, const std::vector<BatchProblem>& problems) = 0;
  // A readable tracking answer as a timeline (with a way to copy the raw answer).
  virtual void show_tracking(const TrackingTimeline& timeline) = 0;
  // A desktop notification of new orders, whose default action lists the
  // to-ship orders; never blocks, says nothing where the desktop cannot.
  virtual void notify(const Text& title, const Text& body) = 0;
  // Orders waiting to be shipped, as last counted (the tray icon's tooltip).
  virtual void show_to_ship_count(int count) = 0;
  // The sender addresses to choose from for 编辑框13 (a form without such a
  // choice keeps only the box).
  virtual void set_sender_addresses(const std::vector<SenderAddress>&) {}
  // A control's tooltip (a form without tooltips ignores it).
  virtual void set_tooltip(std::string_view, const Text&) {}
  // The status line: the last operation's outcome in words ("待发货：25笔，
  // 14:02 更新", "后台返回 500，待发货订单列表未更新"), or progress in words
  // during long work ("订单详情 12/25").
  virtual void show_status(const Text&) {}
  // A failure in the status line ("后台返回 500，待发货订单列表未更新", a batch
  // with failed orders): the window also keeps it in the log (日志), once
  // however often it is shown or already logged; elsewhere it is a status.
  virtual void show_failure(const Text& text) { show_status(text); }
  // Orders a poll found new (their ids): counted and marked in the window
  // until the merchant has looked at the list.
  virtual void show_new_orders(const std::vector<Text>&) {}
};

}  // namespace app
