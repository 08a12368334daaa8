#include "platform/mgmt/qxdb_connect_info.h"

#include <cstdlib>
#include <string>

#include "platform/db/conninfo.h"

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
  if (url.rfind("sqlite:", 0) == 0) {
    std::string path = url.substr(7);
    if (path.empty()) {
      error_ = "QXDB_URL: sqlite: needs a path";
      return;
    }
    server_type_ = "SQLITE";
    database_ = path;
    return;
  }
  // Anything else with "://" is a URL of a server this platform does not have; text
  // without '=' cannot be key=value pairs.
  bool url_form = qx::db::is_postgres_url(url);
  if (!url_form && (url.find("://") != std::string::npos || url.find('=') == std::string::npos)) {
    error_ =
        "QXDB_URL: expected sqlite:PATH, a postgresql:// URL or key=value "
        "connection parameters";
    return;
  }
  server_type_ = "POSTGRESQL";
  database_ = url;
}

RWCString QXDBConnectInfo::url() const {
  if (server_type_ == "SQLITE") return "sqlite:" + database_;
  if (server_type_ == "POSTGRESQL") return qx::db::without_password(database_.str());
  return RWCString();
}
