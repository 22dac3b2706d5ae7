// Old workbooks into the archive, found orders out to a workbook and into the
// order table.
#include <gtest/gtest.h>

#include "archive/archive_workbooks.h"
#include "core/archive_keeping.h"
#include "exchange/workbook_writer.h"
#include "support/fake_form.h"
#include "support/temp_dir.h"

namespace {

using web::gbk;

std::vector<std::string> row(const std::string& id, const std::string& consignee) {
  std::vector<std::string> cells(26);
  cells[1] = "NO" + id;
  cells[6] = "2024-05-0" + (id.empty() ? std::string("1") : id.substr(id.size() - 1)) + " 10:00:00";
  cells[7] = "已完成";
  cells[8] = id;
  cells[9] = "大米";
  cells[18] = consignee;
  return cells;
}

TEST(ArchiveWorkbooks, AnOldExportComesInWithItsLinesAndGoesBackOut) {
  testing_support::TempDir dir;
  testing_support::FakeForm form;
  app::Settings settings(dir.path() / "settings.ini");
  store::Database db(dir.path() / "weihe-orders.db");
  store::OrderArchive archive(db);
  app::Context ctx{.form = form, .settings = settings, .hosts = {"127.0.0.1:1", "", ""}};
  ctx.archive = &archive;

  // The system's layout: 26 titled columns; one row has no ID.
  std::vector<std::string> titles(26, "列");
  titles[25].clear();
  const auto old = dir.path() / "2024.xlsx";
  ASSERT_EQ(exchange::write_workbook(old, titles, {row("101", "张伟"), row("", "无名"), row("102", "李娜")}, nullptr,
                                     {{"商品明细", {"订单号", "ID", "商品", "数量", "规格", "单价", "小计"},
                                       {{"NO101", "101", "大米", "2", "袋", "5", "10"},
                                        {"NO101", "101", "红枣", "1", "盒", "9", "9"}}}}),
            "");
  const archive::ImportCounts counts = archive::import_workbooks(ctx, {old.string(), (dir.path() / "none.xlsx").string()});
  EXPECT_EQ(counts.files_read, 1);
  EXPECT_EQ(counts.orders, 2);
  EXPECT_EQ(counts.without_id, 1);
  ASSERT_EQ(counts.failures.size(), 1u);
  EXPECT_TRUE(form.rows(app::kOrderList).empty());  // the order table is not touched

  std::string error;
  const auto found = archive.search({}, &error);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].cells[8], "102");  // newest pay time first
  EXPECT_EQ(found[1].items.size(), 2u);
  EXPECT_EQ(found[1].items[1].goods, "红枣");

  // Out as an export, and in again into another archive: the same orders and lines.
  const auto again = dir.path() / "found.xlsx";
  ASSERT_EQ(archive::write_orders(again.string(), found), "");
  store::Database other_db(dir.path() / "other.db");
  store::OrderArchive other(other_db);
  ctx.archive = &other;
  EXPECT_EQ(archive::import_workbooks(ctx, {again.string()}).orders, 2);
  const auto round = other.search({}, &error);
  ASSERT_EQ(round.size(), 2u);
  EXPECT_EQ(round[1].cells, found[1].cells);
  EXPECT_EQ(round[1].items, found[1].items);

  archive::load_into_order_list(ctx, found);
  ASSERT_EQ(form.row_count(app::kOrderList), 2);
  EXPECT_EQ(form.cell(app::kOrderList, 1, app::kColId), "101");
  EXPECT_EQ(ctx.goods_lines.of("101").size(), 2u);
}

}  // namespace
