// weihe-mall: the stand-in back office, image host, tracking service and
// e-waybill provider on 127.0.0.1, for trying the program without a mall
// account. Runs until
// SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "mall/stand_in_mall.h"

namespace {

void usage() {
  std::puts(
      "usage: weihe-mall [--backoffice-port=N] [--image-port=N] [--tracking-port=N]\n"
      "                  [--waybill-port=N]\n"
      "                  [--account=NAME] [--password=TEXT] [--tracking-key=KEY]\n"
      "                  [--waybill-key=KEY] [--waybill-secret=TEXT]   (快递100 account)\n"
      "                  [--waybill-ebusiness-id=ID] [--waybill-app-key=KEY]   (快递鸟 account)\n"
      "                  [--latency-ms=N]   (every answer waits N ms, as a distant server)\n"
      "                  [--max-concurrent=N]   (more than N requests at once: 429)\n"
      "                  [--tracking-json]  (the tracking service answers JSON, not text)\n"
      "                  [--orders=N]       (N seeded orders over the four states, default 36)\n"
      "defaults: ports 18080, 18081, 18082, 18083; account demo, password demo123, key demo-key;\n"
      "          快递100 key demo-waybill-key, secret demo-waybill-secret;\n"
      "          快递鸟 id 1000001, app key demo-app-key");
}

// "--name=value" -> value when `arg` starts with "--name=".
bool flag(const char* arg, const char* name, std::string& value) {
  const std::size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
  value = arg + n + 1;
  return true;
}

bool port(const std::string& text, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 1 || v > 65535) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  mall::Options options;
  options.backoffice_port = 18080;
  options.image_port = 18081;
  options.tracking_port = 18082;
  options.waybill_port = 18083;
  long latency_ms = 0;
  long max_concurrent = 0;
  for (int i = 1; i < argc; ++i) {
    std::string value;
    bool ok = true;
    if (flag(argv[i], "--backoffice-port", value)) {
      ok = port(value, options.backoffice_port);
    } else if (flag(argv[i], "--image-port", value)) {
      ok = port(value, options.image_port);
    } else if (flag(argv[i], "--tracking-port", value)) {
      ok = port(value, options.tracking_port);
    } else if (flag(argv[i], "--waybill-port", value)) {
      ok = port(value, options.waybill_port);
    } else if (flag(argv[i], "--waybill-key", value)) {
      options.waybill.key = value;
    } else if (flag(argv[i], "--waybill-secret", value)) {
      options.waybill.secret = value;
    } else if (flag(argv[i], "--waybill-ebusiness-id", value)) {
      options.waybill.ebusiness_id = value;
    } else if (flag(argv[i], "--waybill-app-key", value)) {
      options.waybill.app_key = value;
    } else if (flag(argv[i], "--account", value)) {
      options.account = value;
    } else if (flag(argv[i], "--password", value)) {
      options.password = value;
    } else if (flag(argv[i], "--tracking-key", value)) {
      options.tracking_key = value;
    } else if (flag(argv[i], "--orders", value)) {
      char* end = nullptr;
      const long orders = std::strtol(value.c_str(), &end, 10);
      ok = !value.empty() && *end == '\0' && orders >= 0 && orders <= 1'000'000;
      if (ok) options.seeded_orders = static_cast<int>(orders);
    } else if (flag(argv[i], "--latency-ms", value)) {
      char* end = nullptr;
      latency_ms = std::strtol(value.c_str(), &end, 10);
      ok = !value.empty() && *end == '\0' && latency_ms >= 0 && latency_ms <= 60000;
    } else if (flag(argv[i], "--max-concurrent", value)) {
      char* end = nullptr;
      max_concurrent = std::strtol(value.c_str(), &end, 10);
      ok = !value.empty() && *end == '\0' && max_concurrent >= 0 && max_concurrent <= 1000;
    } else if (std::strcmp(argv[i], "--tracking-json") == 0) {
      options.tracking_json = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage();
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "weihe-mall: bad argument: %s\n", argv[i]);
      usage();
      return 2;
    }
  }

  // Block the stop signals in every thread; the main thread waits for them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  try {
    mall::StandInMall mall(options);
    mall.set_latency(std::chrono::milliseconds(latency_ms));
    mall.set_waybill_latency(std::chrono::milliseconds(latency_ms));
    mall.set_max_concurrent(static_cast<int>(max_concurrent));
    std::printf("weihe-mall: back office http://%s  images http://%s  tracking http://%s\n",
                mall.backoffice_host().c_str(), mall.image_host().c_str(),
                mall.tracking_host().c_str());
    std::printf("weihe-mall: account %s, password %s, tracking key %s\n", options.account.c_str(),
                options.password.c_str(), options.tracking_key.c_str());
    std::printf(
        "weihe-mall: e-waybills http://%s/label/order (快递100 key %s, secret %s)\n"
        "            and http://%s/api/EOrderService (快递鸟 id %s, app key %s)\n",
        mall.waybill_host().c_str(), options.waybill.key.c_str(), options.waybill.secret.c_str(),
        mall.waybill_host().c_str(), options.waybill.ebusiness_id.c_str(),
        options.waybill.app_key.c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    std::printf("weihe-mall: stopping\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "weihe-mall: %s\n", e.what());
    return 1;
  }
  return 0;
}
