// weihe-cli store: the store this station keeps its records in.
// check: whether it answers, its schema's version and the stations seen in
// it (exit 1 when it does not answer). migrate: copies this PC's own records
// (weihe-orders.db beside the settings) into the shared store of section
// [store] url; running it again copies nothing twice. Neither logs in.
#include <filesystem>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/store_location.h"
#include "store/database.h"
#include "store/migration.h"
#include "store/order_archive.h"

namespace cli {

namespace {

int check(Session& session) {
  store::Database& db = session.database();
  Json line = Json::object();
  line["store"] = db.shared() ? "postgresql" : "sqlite";
  line["where"] = db.where();
  line["station"] = db.station();
  const bool answers = db.ok();
  line["answers"] = answers;
  if (!answers) {
    line["error"] = db.error();
  } else {
    line["schema_version"] = db.schema_version();
    std::string error;
    Json seen = Json::array();
    for (const store::StationSeen& s : store::stations(db, &error))
      seen.push_back({{"name", s.name}, {"last_seen", store::local_time_text("%Y-%m-%d %H:%M:%S", s.last_seen)}});
    line["stations"] = seen;
  }
  Output out("");
  out.line(json_line(line));
  const int written = finish_output(out, session.form());
  return written != kDone ? written : answers ? kDone : kFailed;
}

int migrate(Session& session) {
  CliForm& form = session.form();
  store::Database& shared = session.database();
  if (!shared.shared()) {
    form.say("配置文件的 [store] 没有 url：没有共享数据库可以迁移过去", true);
    return kUsage;
  }
  if (!shared.ok()) {
    form.say(shared.error(), true);
    return kFailed;
  }
  const std::filesystem::path file = store::Database::beside(session.settings().path());
  std::error_code ec;
  Json line = Json::object();
  line["from"] = file.string();
  line["to"] = shared.where();
  if (!std::filesystem::exists(file, ec)) {
    form.say("这台电脑没有 " + file.string() + "，没有要迁移的记录");
  } else {
    store::Database own(file);
    own.set_station(shared.station());
    if (!own.ok()) {
      form.say(own.error(), true);
      return kFailed;
    }
    std::string error;
    const auto copied = store::copy_records(own, shared, &error);
    if (!copied) {
      form.say("迁移没有做完（已复制的留在共享数据库里，再运行一次会接着复制）：" + error, true);
      return kFailed;
    }
    for (const auto& [table, n] : *copied) line[table] = n;
    const auto archived = store::copy_archive(own, shared, &error);
    if (!archived) {
      form.say("订单存档没有迁移完（再运行一次会接着复制）：" + error, true);
      return kFailed;
    }
    line["archive"] = *archived;
  }
  Output out("");
  out.line(json_line(line));
  return finish_output(out, form);
}

}  // namespace

int run_store(const SessionOptions& options, const std::string& action) {
  auto session = local_session(options);
  if (!session) return kFailed;
  return action == "migrate" ? migrate(*session) : check(*session);
}

}  // namespace cli
