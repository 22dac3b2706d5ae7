#include "mall/waybill_service.h"

#include <openssl/evp.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "mall/form.h"
#include "mall/loopback_server.h"

namespace mall {
namespace {

using nlohmann::json;

constexpr std::size_t kMaxRecorded = 10000;
constexpr const char* kJson = "application/json; charset=UTF-8";

std::string md5_hex(const std::string& text, bool upper) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += digits[digest[i] >> 4];
    out += digits[digest[i] & 15];
  }
  return out;
}

std::string base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// A courier both providers know, its codes with each, and how its numbers look.
struct Courier {
  const char* kuaidi100;        // kuaidicom
  const char* kuaidi100_alias;  // the code the program's own tables use, when it differs
  const char* kdniao;           // ShipperCode
  const char* prefix;
  int digits;  // after the prefix
};

// Each number matches the courier's pattern in src/fulfilment/courier_patterns.tsv.
constexpr Courier kCouriers[] = {
    {"shunfeng", "", "SF", "SF", 13},   {"yuantong", "", "YTO", "YT", 13},
    {"zhongtong", "", "ZTO", "7", 13},  {"shentong", "", "STO", "77", 11},
    {"yunda", "", "YD", "4", 14},       {"ems", "", "EMS", "1", 12},
    {"jd", "jingdong", "JD", "JD", 13}, {"huitongkuaidi", "huitong", "HTKY", "5", 13},
};

const Courier* courier_of(const std::string& code, bool kdniao) {
  for (const Courier& c : kCouriers) {
    if (kdniao ? code == c.kdniao : (code == c.kuaidi100 || code == c.kuaidi100_alias)) return &c;
  }
  return nullptr;
}

// A UTF-8 text without its trailing `suffix`.
std::string without_suffix(std::string text, const std::string& suffix) {
  if (text.size() > suffix.size() &&
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
    text.resize(text.size() - suffix.size());
  return text;
}

std::string short_region(const std::string& name) {
  std::string s = name;
  for (const char* suffix : {"特别行政区", "自治区", "自治州", "省", "市", "地区", "盟"}) {
    const std::string shorter = without_suffix(s, suffix);
    if (shorter != s) return shorter;
  }
  return s;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

unsigned fnv1a(const std::string& text) {
  unsigned h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

std::string digits_of(unsigned value, int count) {
  std::string out(static_cast<std::size_t>(count), '0');
  for (int i = count - 1; i >= 0; --i, value /= 10)
    out[static_cast<std::size_t>(i)] = '0' + value % 10;
  return out;
}

// 大头笔, 集包地 and the sorting code for a receiver in `province` `city`
// `district`, the same every time for the same place.
void sort_for(IssuedWaybill& w, const std::string& province, const std::string& city,
              const std::string& district) {
  const unsigned h = fnv1a(province + city + district);
  const std::string p = short_region(province), c = short_region(city.empty() ? province : city);
  w.big_pen = (p == c || p.empty() ? c : p + c) + (district.empty() ? "" : " " + district) + " " +
              digits_of(h % 900 + 100, 3);
  w.package_name = c + "集包";
  w.package_code = digits_of(h / 7 % 9000 + 1000, 4);
  w.sorting_code = digits_of(h / 11 % 900 + 100, 3) + "-" + digits_of(h / 13 % 90 + 10, 2) + "-" +
                   digits_of(h / 17 % 90 + 10, 2);
}

// A string member of a JSON object, "" when absent or not a string.
std::string text_of(const json& object, const char* name) {
  if (!object.is_object()) return {};
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A party (收件人/寄件人) has a name, a telephone and an address.
bool kuaidi100_party_complete(const json& party) {
  return !text_of(party, "name").empty() &&
         !(text_of(party, "mobile").empty() && text_of(party, "tel").empty()) &&
         !text_of(party, "printAddr").empty();
}

bool kdniao_party_complete(const json& party) {
  return !text_of(party, "Name").empty() &&
         !(text_of(party, "Mobile").empty() && text_of(party, "Tel").empty()) &&
         !text_of(party, "ProvinceName").empty() && !text_of(party, "CityName").empty() &&
         !text_of(party, "Address").empty();
}

// Whether any text in `value` holds a character 快递鸟 does not take in RequestData.
bool has_forbidden_character(const json& value) {
  if (value.is_string()) {
    return value.get<std::string>().find_first_of("'\"#&+<>%\\") != std::string::npos;
  }
  if (value.is_structured()) {
    for (const auto& [name, member] : value.items()) {
      if (value.is_object() && name.find_first_of("'\"#&+<>%\\") != std::string::npos) return true;
      if (has_forbidden_character(member)) return true;
    }
  }
  return false;
}

std::string form_value(const std::vector<std::pair<std::string, std::string>>& form,
                       const char* name, bool* present = nullptr) {
  for (const auto& [k, v] : form) {
    if (k == name) {
      if (present) *present = true;
      return v;
    }
  }
  if (present) *present = false;
  return {};
}

}  // namespace

std::string kuaidi100_sign(const std::string& param, const std::string& t, const std::string& key,
                           const std::string& secret) {
  return md5_hex(param + t + key + secret, true);
}

std::string kdniao_sign(const std::string& request_data, const std::string& app_key) {
  return base64(md5_hex(request_data + app_key, false));
}

struct WaybillService::Impl {
  WaybillAccount account;
  mutable std::mutex mutex;  // guards the waybills, the record and the serial
  std::vector<IssuedWaybill> issued;
  std::vector<RecordedRequest> requests;
  unsigned serial = 0;               // waybills issued
  std::atomic<unsigned> answers{0};  // 快递鸟 answers, for their request numbers

  std::atomic<WaybillFault> fault{WaybillFault::None};
  std::atomic<long long> slow_ms{3000};
  std::atomic<long long> latency_ms{0};

  std::mutex stop_mutex;
  std::condition_variable stop_cv;
  bool stopping = false;

  LoopbackServer server;
  int port = 0;
  std::thread thread;

  explicit Impl(WaybillAccount a) : account(std::move(a)) {}

  void wait(long long ms) {
    if (ms <= 0) return;
    std::unique_lock lock(stop_mutex);
    stop_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
  }

  void record(const httplib::Request& req) {
    RecordedRequest r = recorded(req);
    std::lock_guard lock(mutex);
    if (requests.size() < kMaxRecorded) requests.push_back(std::move(r));
  }

  // A new waybill for `order_no` with `courier`, sorted for the receiver's
  // place, and recorded.
  IssuedWaybill issue(const char* provider, const std::string& order_no,
                      const std::string& courier_code, const Courier& courier,
                      const std::string& province, const std::string& city,
                      const std::string& district) {
    IssuedWaybill w;
    w.provider = provider;
    w.order_no = order_no;
    w.courier = courier_code;
    sort_for(w, province, city, district);
    std::lock_guard lock(mutex);
    const unsigned n = ++serial;
    // Apart by a prime, so that numbers do not look consecutive; each serial
    // has a range of its own, so that they never repeat.
    const unsigned long long body = 3000000000000ULL + n * 7919ULL + fnv1a(order_no) % 7919;
    const std::string all = std::to_string(body);
    const auto width = static_cast<std::size_t>(courier.digits);
    w.number = courier.prefix + (all.size() >= width ? all.substr(all.size() - width)
                                                     : std::string(width - all.size(), '0') + all);
    w.courier_order = "K" + digits_of(n, 6) + digits_of(fnv1a(w.number) % 100000000, 8);
    issued.push_back(w);
    return w;
  }

  // The answer the faults make of this request, when they decide it; true then.
  bool server_error(httplib::Response& res) {
    if (fault.load() != WaybillFault::ServerError) return false;
    res.status = 500;
    res.set_content(
        "<html><head><title>500 Internal Server Error</title></head>"
        "<body><h1>500 Internal Server Error</h1></body></html>",
        "text/html; charset=UTF-8");
    return true;
  }

  // The answer to work done: lost on its way back under LostAnswer.
  void deliver(httplib::Response& res, const json& answer) {
    res.set_content(answer.dump(), kJson);
    if (fault.load() == WaybillFault::LostAnswer) LoopbackServer::withhold_answer();
  }

  void kuaidi100(const httplib::Request& req, httplib::Response& res);
  void kdniao(const httplib::Request& req, httplib::Response& res);
  void route(const httplib::Request& req, httplib::Response& res);
};

namespace {

long long now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

json kuaidi100_error(int code, const std::string& message) {
  return {{"success", false}, {"code", code}, {"message", message}, {"time", now_ms()}};
}

}  // namespace

void WaybillService::Impl::kuaidi100(const httplib::Request& req, httplib::Response& res) {
  const auto form = parse_form(req.body);
  const std::string method = form_value(form, "method"), key = form_value(form, "key"),
                    t = form_value(form, "t"), sign = form_value(form, "sign"),
                    param_text = form_value(form, "param");
  auto refuse = [&](int code, const std::string& message) {
    res.set_content(kuaidi100_error(code, message).dump(), kJson);
  };
  if (method.empty() || t.empty() || sign.empty() || param_text.empty())
    return refuse(30001, "参数错误：method、t、sign、param不能为空");
  if (key != account.key) return refuse(30003, "key错误，请检查授权码");
  if (fault.load() == WaybillFault::BadSignature ||
      sign != kuaidi100_sign(param_text, t, account.key, account.secret))
    return refuse(30002, "签名错误，请按 MD5(param+t+key+secret) 转大写签名");
  const json param = json::parse(param_text, nullptr, false);
  if (!param.is_object()) return refuse(30001, "参数错误：param不是JSON");
  const std::string courier_code = text_of(param, "kuaidicom");
  const Courier* courier = courier_of(courier_code, false);
  if (!courier) return refuse(30001, "参数错误：不支持的快递公司编码“" + courier_code + "”");

  if (method == "cancel") {
    const std::string number = text_of(param, "kuaidinum");
    if (number.empty()) return refuse(30001, "参数错误：kuaidinum不能为空");
    json answer;
    {
      std::lock_guard lock(mutex);
      IssuedWaybill* found = nullptr;
      for (IssuedWaybill& w : issued)
        if (w.provider == "kuaidi100" && w.number == number && !w.cancelled &&
            courier_of(w.courier, false) == courier)
          found = &w;
      if (!found) return refuse(30009, "未找到该面单，或已取消");
      // orderId may be left out; when given it is the kdComOrderNum the order returned.
      if (param.contains("orderId") && text_of(param, "orderId") != found->courier_order)
        return refuse(30001, "参数错误：orderId须为下单时返回的kdComOrderNum");
      found->cancelled = true;
    }
    answer = {{"success", true},
              {"code", 200},
              {"message", "success"},
              {"time", now_ms()},
              {"data", json::object()}};
    return deliver(res, answer);
  }
  if (method != "order") return refuse(30001, "参数错误：不支持的method“" + method + "”");
  if (!kuaidi100_party_complete(param.value("recMan", json())) ||
      !kuaidi100_party_complete(param.value("sendMan", json())))
    return refuse(30001, "参数错误：收件人、寄件人的姓名、电话和地址不能为空");
  if (fault.load() == WaybillFault::BalanceExhausted)
    return refuse(30004, "电子面单余额不足，请充值");

  // The address comes whole, its parts apart by spaces as the mall writes it.
  const std::vector<std::string> place = words(text_of(param["recMan"], "printAddr"));
  auto part = [&place](std::size_t i) { return i < place.size() ? place[i] : std::string(); };
  const IssuedWaybill w = issue("kuaidi100", text_of(param, "orderId"), courier_code, *courier,
                                part(0), part(1), part(2));
  const json data = {{"taskId", md5_hex(w.number + w.courier_order, true)},
                     {"kuaidicom", courier_code},
                     {"kuaidinum", w.number},
                     {"kdComOrderNum", w.courier_order},
                     {"bulkpen", w.big_pen},
                     {"pkgName", w.package_name},
                     {"pkgCode", w.package_code},
                     {"destSortingCode", w.sorting_code},
                     {"label", ""}};
  deliver(res, {{"success", true},
                {"code", 200},
                {"message", "success"},
                {"time", now_ms()},
                {"data", data}});
}

namespace {

// 快递鸟's result codes.
constexpr const char* kKdnOk = "100";
constexpr const char* kKdnMissing = "101";    // 缺少必要参数
constexpr const char* kKdnCheck = "102";      // 校验问题: the signature, the merchant's id
constexpr const char* kKdnFormat = "103";     // 格式问题: not JSON, characters it does not take
constexpr const char* kKdnOther = "105";      // 其他错误: courier, balance, unknown order
constexpr const char* kKdnDuplicate = "106";  // 该订单号已下单成功

json kdniao_order_of(const IssuedWaybill& w) {
  return {{"OrderCode", w.order_no},       {"ShipperCode", w.courier},
          {"LogisticCode", w.number},      {"MarkDestination", w.big_pen},
          {"PackageName", w.package_name}, {"PackageCode", w.package_code},
          {"SortingCode", w.sorting_code}};
}

}  // namespace

void WaybillService::Impl::kdniao(const httplib::Request& req, httplib::Response& res) {
  const auto form = parse_form(req.body);
  const std::string request_data = form_value(form, "RequestData"),
                    business = form_value(form, "EBusinessID"),
                    type = form_value(form, "RequestType"), sign = form_value(form, "DataSign"),
                    data_type = form_value(form, "DataType");
  json answer = {
      {"EBusinessID", business},
      {"UniquerRequestNumber", md5_hex(request_data + std::to_string(++answers), false)}};
  auto refuse = [&](const char* code, const std::string& reason) {
    answer["Success"] = false;
    answer["ResultCode"] = code;
    answer["Reason"] = reason;
    res.set_content(answer.dump(), kJson);
  };
  if (request_data.empty() || business.empty() || type.empty() || sign.empty())
    return refuse(kKdnMissing, "缺少必要参数：RequestData、EBusinessID、RequestType、DataSign");
  if (business != account.ebusiness_id) return refuse(kKdnCheck, "用户ID不存在");
  if (fault.load() == WaybillFault::BadSignature ||
      sign != kdniao_sign(request_data, account.app_key))
    return refuse(kKdnCheck, "数据签名验证失败");
  if (data_type != "2") return refuse(kKdnFormat, "DataType须为2（JSON）");
  const json data = json::parse(request_data, nullptr, false);
  if (!data.is_object()) return refuse(kKdnFormat, "RequestData不是JSON");
  if (has_forbidden_character(data))
    return refuse(kKdnFormat, "请求数据不能含有特殊字符 ' \" # & + < > % \\");
  const std::string order_code = text_of(data, "OrderCode");
  const std::string courier_code = text_of(data, "ShipperCode");
  if (order_code.empty() || courier_code.empty())
    return refuse(kKdnMissing, "缺少必要参数：OrderCode、ShipperCode");
  const Courier* courier = courier_of(courier_code, true);
  if (!courier) return refuse(kKdnOther, "不支持的快递公司编码" + courier_code);

  if (type == "1147") {
    const std::string number = text_of(data, "ExpNo");
    {
      std::lock_guard lock(mutex);
      IssuedWaybill* found = nullptr;
      for (IssuedWaybill& w : issued)
        if (w.provider == "kdniao" && w.order_no == order_code && w.number == number &&
            !w.cancelled)
          found = &w;
      if (!found) return refuse(kKdnOther, "订单不存在或已取消");
      found->cancelled = true;
    }
    answer["Success"] = true;
    answer["ResultCode"] = kKdnOk;
    answer["Reason"] = "成功";
    return deliver(res, answer);
  }
  if (type != "1007") return refuse(kKdnMissing, "不支持的RequestType " + type);
  if (!kdniao_party_complete(data.value("Receiver", json())) ||
      !kdniao_party_complete(data.value("Sender", json())))
    return refuse(kKdnMissing, "缺少必要参数：收件人、寄件人的姓名、电话、省市和地址");
  {
    std::lock_guard lock(mutex);
    for (const IssuedWaybill& w : issued) {
      if (w.provider == "kdniao" && w.order_no == order_code) {
        // The order the code was first used for, as the real service shows it.
        answer["Order"] = kdniao_order_of(w);
        answer["Success"] = false;
        answer["ResultCode"] = kKdnDuplicate;
        answer["Reason"] = "该订单号已下单成功";
        res.set_content(answer.dump(), kJson);
        return;
      }
    }
  }
  if (fault.load() == WaybillFault::BalanceExhausted)
    return refuse(kKdnOther, "电子面单余额不足，请充值");

  const json& receiver = data["Receiver"];
  const IssuedWaybill w =
      issue("kdniao", order_code, courier_code, *courier, text_of(receiver, "ProvinceName"),
            text_of(receiver, "CityName"), text_of(receiver, "ExpAreaName"));
  answer["Success"] = true;
  answer["ResultCode"] = kKdnOk;
  answer["Reason"] = "成功";
  answer["Order"] = kdniao_order_of(w);
  deliver(res, answer);
}

void WaybillService::Impl::route(const httplib::Request& req, httplib::Response& res) {
  record(req);
  wait(latency_ms.load());
  if (server_error(res)) return;
  if (req.method == "POST" && req.path == "/label/order") {
    kuaidi100(req, res);
  } else if (req.method == "POST" &&
             (req.path == "/api/EOrderService" || req.path == "/api/Eorderservice")) {
    // The address is spelt both ways in the provider's own samples.
    kdniao(req, res);
  } else {
    res.status = 404;
    res.set_content("404 Not Found", "text/plain; charset=UTF-8");
  }
  // Whatever was done is done; only the answer is late.
  if (fault.load() == WaybillFault::Slow) wait(slow_ms.load());
}

WaybillService::WaybillService(WaybillAccount account, int port)
    : m_impl(std::make_unique<Impl>(std::move(account))) {
  Impl& m = *m_impl;
  auto handler = [&m](const httplib::Request& req, httplib::Response& res) { m.route(req, res); };
  m.server.Get(".*", handler);
  m.server.Post(".*", handler);
  m.server.set_payload_max_length(1u << 20);
  // SO_REUSEADDR only, so that a second service cannot share a busy port.
  m.server.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  int bound = port;
  if (port == 0) {
    bound = m.server.bind_to_any_port("127.0.0.1");
  } else if (!m.server.bind_to_port("127.0.0.1", port)) {
    bound = -1;
  }
  if (bound <= 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) +
                             " (is the port in use?)");
  }
  m.port = bound;
  m.thread = std::thread([&m] { m.server.listen_after_bind(); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!m.server.is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

WaybillService::~WaybillService() {
  {
    std::lock_guard lock(m_impl->stop_mutex);
    m_impl->stopping = true;
  }
  m_impl->stop_cv.notify_all();
  m_impl->server.stop();
  if (m_impl->thread.joinable()) m_impl->thread.join();
}

std::string WaybillService::host() const {
  return "127.0.0.1:" + std::to_string(m_impl->port);
}

const WaybillAccount& WaybillService::account() const {
  return m_impl->account;
}

int WaybillService::waybills_for(const std::string& order_no) const {
  std::lock_guard lock(m_impl->mutex);
  int count = 0;
  for (const IssuedWaybill& w : m_impl->issued) count += w.order_no == order_no ? 1 : 0;
  return count;
}

std::vector<IssuedWaybill> WaybillService::waybills() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->issued;
}

void WaybillService::set_fault(WaybillFault fault) {
  m_impl->fault = fault;
}
WaybillFault WaybillService::fault() const {
  return m_impl->fault.load();
}
void WaybillService::set_slow_delay(std::chrono::milliseconds delay) {
  m_impl->slow_ms = delay.count();
}
std::chrono::milliseconds WaybillService::slow_delay() const {
  return std::chrono::milliseconds(m_impl->slow_ms.load());
}
void WaybillService::set_latency(std::chrono::milliseconds latency) {
  m_impl->latency_ms = latency.count();
}

std::vector<RecordedRequest> WaybillService::requests() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->requests;
}

void WaybillService::clear_requests() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->requests.clear();
}

}  // namespace mall
