#pragma once
// Runs the real weihe-cli on a settings file and collects what it said.
//
// Usage: Finished r = run_cli(settings_file, {"list", "to-ship"});
//        for (const json& order : r.lines()) ...

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::ordered_json;

struct Finished {
  int exit = -1;
  std::string out, err;
  std::vector<json> lines() const {  // stdout as JSON lines
    std::vector<json> parsed;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) parsed.push_back(json::parse(line));
    return parsed;
  }
};

// `stop_after_ms` >= 0: SIGTERM after that long.
inline Finished run_cli(const std::filesystem::path& settings, const std::vector<std::string>& args,
                        int stop_after_ms = -1) {
  QStringList list{QStringLiteral("--settings"), QString::fromStdString(settings.string())};
  for (const std::string& a : args) list << QString::fromStdString(a);
  QProcess p;
  p.start(QStringLiteral(WEIHE_CLI), list);
  EXPECT_TRUE(p.waitForStarted());
  if (stop_after_ms >= 0) {
    p.waitForFinished(stop_after_ms);
    p.terminate();  // SIGTERM
  }
  EXPECT_TRUE(p.waitForFinished(120000));
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

}  // namespace
