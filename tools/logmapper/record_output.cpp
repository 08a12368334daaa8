// The JSON of the tool goes through nlohmann::json (included only here: it is large).
#include "tools/logmapper/record_output.h"

#include <nlohmann/json.hpp>

#include "infra/tolk_map/oids.h"
#include "platform/value/ber_decoder.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"
#include "platform/value/oi2fdn.h"
#include "platform/value/value_notation.h"
#include "tools/logmapper/attribute_args.h"
#include "tools/logmapper/command.h"

namespace logmapper {
namespace {

using Json = nlohmann::ordered_json;

// One line of JSON in the tool's layout, {"name": value, "other": [1, 2]}; text that is
// not UTF-8 has its bad octets replaced. The library lays a value out one member per
// line (line ends appear nowhere else: inside strings they are escaped); joining the
// lines gives the layout.
std::string dump(const Json& j) {
  std::string lines = j.dump(0, ' ', false, Json::error_handler_t::replace);
  std::string out;
  out.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != '\n') {
      out += lines[i];
    } else if (!out.empty() && out.back() != '{' && out.back() != '[' && i + 1 < lines.size() &&
               lines[i + 1] != '}' && lines[i + 1] != ']') {
      out += ' ';
    }
  }
  return out;
}

Json attributes_json(const RespValue& values, const Oid& skip) {
  Json a = Json::object();
  for (const auto& e : values) {
    if (e->id() == skip) continue;
    a[name_of(e->id())] = format_attribute(e->id(), e->value());
  }
  return a;
}

Json record_object(LogMapper& log, const RespValue& record) {
  unsigned long id = record_identifier(record);
  Json j;
  j["logRecordId"] = id;
  j["class"] = record_class_name(log, id);
  j["attributes"] = attributes_json(record, logRecordIdOid);
  return j;
}

bool unhex(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  bytes.clear();
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int a = digit(text[i]), b = digit(text[i + 1]);
    if (a < 0 || b < 0) return false;
    bytes += static_cast<char>(a * 16 + b);
  }
  return true;
}

}  // namespace

std::string json_string(std::string_view text) { return dump(Json(std::string(text))); }

std::string identifier_text(const Asn1Value& id) {
  if (id.tag() == TAG_CTX2) return oi2fdn(id);
  std::string out;
  qx::format_element(nullptr, id.encoding_view(), FORMAT_NAMES, out);
  return out;
}

unsigned long record_identifier(const RespValue& record) {
  unsigned long id = 0;
  Asn1Value v;
  if (record.find_value(logRecordIdOid, v)) v.decode_unsigned(id);
  return id;
}

std::string record_class_name(LogMapper& log, unsigned long id) {
  Oid cls;
  return log.get_log_record_class(id, cls) == 1 ? name_of(cls) : std::string();
}

void print_record(std::ostream& os, LogMapper& log, const RespValue& record) {
  unsigned long id = record_identifier(record);
  os << "logRecordId: " << id << "\nclass: " << record_class_name(log, id) << "\n";
  for (const auto& e : record) {
    if (e->id() == logRecordIdOid) continue;
    os << name_of(e->id()) << ": " << format_attribute(e->id(), e->value()) << "\n";
  }
}

std::string record_json(LogMapper& log, const RespValue& record) {
  return dump(record_object(log, record));
}

void print_alarm(std::ostream& os, const AlarmLine& a) {
  os << a.id << " " << a.record_class << " " << a.severity << " " << a.ack << " " << a.clear << " "
     << a.display << "\n";
}

std::string alarms_json(const std::vector<AlarmLine>& alarms) {
  Json list = Json::array();
  for (const AlarmLine& a : alarms) {
    Json j;
    j["logRecordId"] = a.id;
    j["class"] = a.record_class;
    j["perceivedSeverity"] = a.severity;
    j["ackState"] = a.ack;
    j["clearState"] = a.clear;
    j["displayState"] = a.display;
    list.push_back(std::move(j));
  }
  return dump(list);
}

void print_log(std::ostream& os, const RespValue& log) {
  Asn1Value id;
  log.find_value(logIdOid, id);
  os << identifier_text(id) << "\n";
  for (const auto& e : log) {
    if (e->id() == logIdOid) continue;
    os << "  " << name_of(e->id()) << ": " << format_attribute(e->id(), e->value()) << "\n";
  }
}

std::string log_json(const RespValue& log) {
  Asn1Value id;
  log.find_value(logIdOid, id);
  Json j;
  j["logId"] = identifier_text(id);
  j["attributes"] = attributes_json(log, logIdOid);
  return dump(j);
}

std::string status_json(const std::string& store, const std::string& server,
                        const std::string& version, const std::vector<LogStatus>& logs) {
  Json j;
  j["store"] = store;
  j["server"] = server;
  j["version"] = version;
  j["logs"] = Json::array();
  for (const LogStatus& log : logs) {
    Json classes = Json::object();
    for (const auto& [name, n] : log.classes) classes[name] = n;
    Json outstanding = Json::object();
    for (const auto& [name, n] : log.outstanding) outstanding[name] = n;
    j["logs"].push_back({{"logId", log.id},
                         {"records", log.records},
                         {"number", log.number},
                         {"classes", classes},
                         {"outstanding", outstanding}});
  }
  return dump(j);
}

Asn1Value record_attributes(const RespValue& record) {
  Asn1Value list;
  list.start_construct(TAG_SET);
  for (const auto& e : record) {
    if (e->id() == logRecordIdOid) continue;
    list.add_component(attribute_pair(e->id(), e->value()));
  }
  return list;
}

std::string attributes_hex(const RespValue& record) {
  Asn1Value list = record_attributes(record);
  return qx::ber::hex(list.encoding_view());
}

std::string export_json(LogMapper& log, const RespValue& record) {
  Json j = record_object(log, record);
  j["ber"] = attributes_hex(record);
  return dump(j);
}

bool parse_export_line(std::string_view line, ImportedRecord& record, std::string& error) {
  Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded()) {
    error = "not a JSON object";
    return false;
  }
  if (!j.is_object()) {
    error = "not a JSON object";
    return false;
  }
  auto id = j.find("logRecordId");
  if (id == j.end() || !id->is_number_integer() || id->get<long long>() < 0 ||
      id->get<long long>() > 0x7fffffffLL) {
    error = "no logRecordId from 0 to 2147483647";
    return false;
  }
  record.id = static_cast<int>(id->get<long long>());
  auto cls = j.find("class");
  if (cls == j.end() || !cls->is_string() ||
      !record_class(cls->get<std::string>(), record.record_class)) {
    error = "no record class (a registered name or a dotted identifier)";
    return false;
  }
  auto ber = j.find("ber");
  std::string bytes;
  if (ber == j.end() || !ber->is_string() || !unhex(ber->get<std::string>(), bytes)) {
    error = "no ber (the attribute list in hex)";
    return false;
  }
  ExceptionScope scope;
  qx::ber::DecodeError err;
  if (!Asn1Value::decode(bytes.data(), bytes.size(), record.attributes, nullptr, &err)) {
    error = "ber: offset " + std::to_string(err.offset) + ": " + err.what;
    return false;
  }
  if (record.attributes.tag() != TAG_SET || !record.attributes.constructed()) {
    error = "ber: not an attribute list (a SET)";
    return false;
  }
  return true;
}

}  // namespace logmapper
