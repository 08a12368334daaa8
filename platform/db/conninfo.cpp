#include "platform/db/conninfo.h"

#include <cctype>

namespace qx::db {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decoded text; a malformed escape stays as it is.
std::string percent_decoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    int a = 0, b = 0;
    if (s[i] == '%' && i + 2 < s.size() && (a = hex_digit(s[i + 1])) >= 0 &&
        (b = hex_digit(s[i + 2])) >= 0) {
      out += static_cast<char>(a * 16 + b);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void add_secret(std::vector<std::string>& out, const std::string& raw) {
  if (raw.empty()) return;
  out.push_back(raw);
  std::string decoded = percent_decoded(raw);
  if (decoded != raw) out.push_back(decoded);
}

// The parts of a URL: scheme with "://", user information (without "@"), and the rest
// (host, port, path and query).
struct UrlParts {
  std::string scheme, userinfo, rest;
  bool has_userinfo = false;
};

UrlParts split_url(const std::string& url) {
  UrlParts p;
  size_t start = url.find("://") + 3;
  p.scheme = url.substr(0, start);
  // As libpq reads it: user information ends at the first '@' before any '/'.
  size_t end = url.find_first_of("@/", start);
  if (end != std::string::npos && url[end] == '@') {
    p.has_userinfo = true;
    p.userinfo = url.substr(start, end - start);
    p.rest = url.substr(end + 1);
  } else {
    p.rest = url.substr(start);
  }
  return p;
}

// One key=value pair of the key=value form: where it lies in the text, its key and
// its value (quotes and escapes removed).
struct Pair {
  size_t begin, end;
  std::string key, value;
};

// The pairs of a key=value string, as libpq's parser reads them; `complete` false when
// the text stops making sense at `stop`.
std::vector<Pair> split_pairs(const std::string& s, bool& complete, size_t& stop) {
  std::vector<Pair> pairs;
  size_t i = 0, n = s.size();
  complete = true;
  while (true) {
    while (i < n && space(s[i])) ++i;
    if (i == n) break;
    Pair p;
    p.begin = i;
    while (i < n && s[i] != '=' && !space(s[i])) p.key += s[i++];
    while (i < n && space(s[i])) ++i;
    if (i == n || s[i] != '=') {
      complete = false;
      stop = p.begin;
      return pairs;
    }
    ++i;
    while (i < n && space(s[i])) ++i;
    if (i < n && s[i] == '\'') {
      ++i;
      while (i < n && s[i] != '\'') {
        if (s[i] == '\\' && i + 1 < n) ++i;
        p.value += s[i++];
      }
      if (i == n) {
        complete = false;
        stop = p.begin;
        return pairs;
      }
      ++i;
    } else {
      while (i < n && !space(s[i])) {
        if (s[i] == '\\' && i + 1 < n) ++i;
        p.value += s[i++];
      }
    }
    p.end = i;
    pairs.push_back(std::move(p));
  }
  return pairs;
}

}  // namespace

bool is_postgres_url(const std::string& text) {
  return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

std::string without_password(const std::string& conninfo) {
  if (is_postgres_url(conninfo)) {
    UrlParts p = split_url(conninfo);
    std::string out = p.scheme;
    if (p.has_userinfo) out += p.userinfo.substr(0, p.userinfo.find(':')) + "@";
    size_t q = p.rest.find('?');
    if (q == std::string::npos) return out + p.rest;
    out += p.rest.substr(0, q);
    std::string query;
    size_t pos = q + 1;
    while (pos <= p.rest.size()) {
      size_t amp = p.rest.find('&', pos);
      if (amp == std::string::npos) amp = p.rest.size();
      std::string param = p.rest.substr(pos, amp - pos);
      if (percent_decoded(param.substr(0, param.find('='))) != "password" && !param.empty()) {
        query += (query.empty() ? "" : "&") + param;
      }
      pos = amp + 1;
    }
    return query.empty() ? out : out + "?" + query;
  }
  bool complete = true;
  size_t stop = 0;
  std::vector<Pair> pairs = split_pairs(conninfo, complete, stop);
  std::string out;
  for (const Pair& p : pairs) {
    if (p.key == "password") continue;
    out += (out.empty() ? "" : " ") + conninfo.substr(p.begin, p.end - p.begin);
  }
  // What cannot be read may hold anything: it is not shown.
  if (!complete) out += out.empty() ? "..." : " ...";
  return out;
}

std::vector<std::string> conninfo_passwords(const std::string& conninfo) {
  std::vector<std::string> out;
  if (is_postgres_url(conninfo)) {
    UrlParts p = split_url(conninfo);
    size_t colon = p.userinfo.find(':');
    if (colon != std::string::npos) add_secret(out, p.userinfo.substr(colon + 1));
  }
  // Any "password = value" in the text, however the rest reads: a URL parameter ends
  // at '&', a key=value one at a blank (quotes kept: they are part of what is written).
  for (size_t at = conninfo.find("password"); at != std::string::npos;
       at = conninfo.find("password", at + 1)) {
    size_t i = at + 8;
    while (i < conninfo.size() && space(conninfo[i])) ++i;
    if (i == conninfo.size() || conninfo[i] != '=') continue;
    ++i;
    while (i < conninfo.size() && space(conninfo[i])) ++i;
    size_t end = i;
    while (end < conninfo.size() && !space(conninfo[end]) && conninfo[end] != '&') ++end;
    std::string raw = conninfo.substr(i, end - i);
    add_secret(out, raw);
    if (raw.size() >= 2 && raw.front() == '\'') add_secret(out, raw.substr(1, raw.size() - 2));
  }
  bool complete = true;
  size_t stop = 0;
  if (!is_postgres_url(conninfo)) {
    for (const Pair& p : split_pairs(conninfo, complete, stop)) {
      if (p.key == "password") add_secret(out, p.value);
    }
  }
  return out;
}

std::string scrub_passwords(const std::string& message, const std::vector<std::string>& passwords) {
  std::string out;
  size_t i = 0;
  while (i < message.size()) {
    size_t open = message.find('"', i);
    size_t close = open == std::string::npos ? open : message.find('"', open + 1);
    if (close == std::string::npos) break;
    std::string quoted = message.substr(open + 1, close - open - 1);
    bool secret = false;
    for (const std::string& p : passwords)
      secret |= !p.empty() && quoted.find(p) != std::string::npos;
    out += message.substr(i, open + 1 - i);
    out += secret ? "***" : quoted;
    out += '"';
    i = close + 1;
  }
  return out + message.substr(i);
}

}  // namespace qx::db
