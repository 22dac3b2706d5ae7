#include "app/gui/fixed_texts.h"

#include <string>

namespace app {

web::Text help_text() {
  return web::gbk(
      "\r\n"
      "查询订单：先选择需要操作的订单，待获取完毕后，方可获取详情。\r\n"
      "\r\n"
      "导出订单：鼠标右键订单表格，选择导出即可。\r\n"
      "\r\n"
      "导入订单：将订单按导出的文档格式的EXCEL拖拽到软件表格即可。\r\n"
      "\r\n"
      "删除订单：可选择删除选择行或者清空整个表格订单数据，鼠标右键操作。\r\n"
      "\r\n");
}

web::Text release_notes_text() {
  const char* const items[] = {"批量查询分类订单数据", "支持批量导入导出订单",
                               "优化订单查询",         "批量查询物流、单个查询物流",
                               "优化启动bug",          "新增批量发货",
                               "优化账户提现功能",     "新增新订单定时刷新提醒"};
  std::string text = "\r\n2017.1.4【3.0更新内容】\r\n";
  int number = 1;
  for (const char* item : items) text += "\r\n    " + std::to_string(number++) + "、" + item;
  return web::gbk(text);
}

}  // namespace app
