#include "platform/mgmt/qxdb_connect_info.h"

#include <cstdlib>
#include <string>

namespace {

int hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decodes s; false on a malformed escape or an encoded NUL.
bool decode(const std::string& s, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      *out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int a = hex(s[i + 1]), b = hex(s[i + 2]);
    if (a < 0 || b < 0 || (a == 0 && b == 0)) return false;
    *out += static_cast<char>(a * 16 + b);
    i += 2;
  }
  return true;
}

bool starts_with(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

}  // namespace

QXDBConnectInfo::QXDBConnectInfo(int service) : service_(service) {
  const char* env = std::getenv("QXDB_URL");
  parse(env != nullptr && *env != '\0' ? env : "sqlite:logmapper.db");
}

QXDBConnectInfo QXDBConnectInfo::from_url(const RWCString& url, int service) {
  QXDBConnectInfo info{Blank{}};
  info.service_ = service;
  info.parse(url.str());
  return info;
}

void QXDBConnectInfo::parse(const std::string& url) {
  role_ = "logmapper";
  if (url.find('\0') != std::string::npos) {
    error_ = "QXDB_URL holds a NUL byte";
    return;
  }
  if (starts_with(url, "sqlite:")) {
    std::string path = url.substr(7);
    if (path.empty()) {
      error_ = "QXDB_URL: sqlite: needs a path";
      return;
    }
    server_type_ = "SQLITE";
    database_ = path;
    return;
  }
  std::string rest;
  if (starts_with(url, "postgresql://")) {
    rest = url.substr(13);
  } else if (starts_with(url, "postgres://")) {
    rest = url.substr(11);
  } else {
    error_ = "QXDB_URL: expected sqlite:PATH or postgresql://[user@]host[:port]/dbname";
    return;
  }
  size_t q = rest.find('?');
  if (q != std::string::npos) rest.resize(q);  // parameters are not used
  size_t slash = rest.find('/');
  if (slash == std::string::npos || slash + 1 >= rest.size()) {
    error_ = "QXDB_URL: the PostgreSQL URL names no database";
    return;
  }
  std::string authority = rest.substr(0, slash), db = rest.substr(slash + 1);
  std::string userinfo, hostport = authority;
  size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    userinfo = authority.substr(0, at);
    hostport = authority.substr(at + 1);
  }
  std::string user, password;
  size_t colon = userinfo.find(':');
  if (colon != std::string::npos) {
    password = userinfo.substr(colon + 1);
    userinfo.resize(colon);
  }
  std::string host, port;
  size_t pc = hostport.rfind(':');
  if (pc != std::string::npos && hostport.find(']') == std::string::npos) {
    port = hostport.substr(pc + 1);
    hostport.resize(pc);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos) {
      error_ = "QXDB_URL: bad port";
      return;
    }
  }
  std::string dhost, duser, dpass, ddb;
  if (!decode(hostport, &dhost) || !decode(userinfo, &duser) || !decode(password, &dpass) ||
      !decode(db, &ddb)) {
    error_ = "QXDB_URL: bad percent escape";
    return;
  }
  server_type_ = "POSTGRESQL";
  server_name_ = port.empty() ? dhost : dhost + ":" + port;
  user_ = duser;
  password_ = dpass;
  database_ = ddb;
}

RWCString QXDBConnectInfo::url() const {
  if (server_type_ == "SQLITE") return "sqlite:" + database_;
  if (server_type_ == "POSTGRESQL") {
    RWCString u = "postgresql://";
    if (!user_.isNull()) u += user_ + "@";
    return u + server_name_ + "/" + database_;
  }
  return RWCString();
}
