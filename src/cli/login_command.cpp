// weihe-cli login: the dashboard the login operation fills, as one JSON object.
#include "cli/commands.h"
#include "cli/output.h"

namespace cli {

using web::gbk;

namespace {

// A figure as a JSON number when it is one, else as the text the page gave.
Json figure(const app::Text& text) {
  const std::string t = web::gbk_to_utf8(web::remove_spaces(text));
  if (t.empty() || t.size() > 15 || t.find_first_not_of("0123456789") != std::string::npos)
    return t.empty() ? Json(nullptr) : Json(t);
  return std::stoll(t);
}

// A goods label's figure: its caption after the fixed prefix ("销售中：12" -> 12).
Json goods_figure(app::Form& form, const char* label, const char* prefix) {
  const app::Text caption = form.text(label);
  const app::Text lead = gbk(prefix);
  return figure(caption.compare(0, lead.size(), lead) == 0 ? caption.substr(lead.size()) : caption);
}

// The store's name as the login wrote it at the end of the window title.
app::Text store_name(app::Form& form) {
  const app::Text title = form.title();
  const app::Text marker = gbk("欢迎您！  ");
  const std::size_t at = title.find(marker);
  return at == app::Text::npos ? app::Text() : title.substr(at + marker.size());
}

}  // namespace

int run_login(const SessionOptions& options) {
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Form& form = session->form();
  Json dashboard = Json::object();
  dashboard["store"] = json_text(store_name(form));
  dashboard["orders"] = {{"unpaid", figure(form.text("标签3"))},
                         {"to_ship", figure(form.text("标签4"))},
                         {"to_receive", figure(form.text("标签5"))},
                         {"all", figure(form.text("标签6"))}};
  dashboard["goods"] = {{"on_sale", goods_figure(form, "标签7", "销售中：")},
                        {"in_review", goods_figure(form, "标签9", "待审核：")},
                        {"removed", goods_figure(form, "标签8", "违规下架：")},
                        {"in_warehouse", goods_figure(form, "标签10", "仓库中：")}};
  Output out("");
  out.line(json_line(dashboard));
  return finish_output(out, session->form());
}

}  // namespace cli
