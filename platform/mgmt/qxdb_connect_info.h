#ifndef QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_
#define QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_

#include <string>

#include "platform/db/rw_cstring.h"

// The platform's description of a database connection. Service 3 (the one the
// log mapper uses) comes from the environment variable QXDB_URL:
//   sqlite:PATH             (also sqlite::memory:)
//   postgresql://[user@]host[:port]/dbname   (postgres:// also accepted;
//                            host may be a percent-encoded socket directory)
// Unset or empty: sqlite:logmapper.db in the working directory. Passwords come
// from libpq's own password file; a password in the URL is accepted and kept
// but never printed (url() leaves it out). An unparsable URL gives
// is_valid() false with the reason in error_string(), and an empty server type.
// A value type; the environment is read by the constructor.
class QXDBConnectInfo {
 public:
  explicit QXDBConnectInfo(int service = 3);
  // From a given URL instead of the environment.
  static QXDBConnectInfo from_url(const RWCString& url, int service = 3);

  bool is_valid() const { return error_.isNull(); }
  const RWCString& error_string() const { return error_; }
  int service() const { return service_; }
  // "SQLITE" or "POSTGRESQL".
  const RWCString& get_server_type() const { return server_type_; }
  // PostgreSQL host (or socket directory) with ":port" when given; empty for SQLite.
  const RWCString& get_server_name() const { return server_name_; }
  const RWCString& get_user_name() const { return user_; }
  const RWCString& get_user_password() const { return password_; }
  // PostgreSQL database name, or the SQLite file path.
  const RWCString& get_database_name() const { return database_; }
  // The platform role of the connection; "logmapper" for service 3.
  const RWCString& get_role() const { return role_; }
  // The URL without a password, for messages.
  RWCString url() const;

 private:
  struct Blank {};
  explicit QXDBConnectInfo(Blank) {}
  void parse(const std::string& url);

  int service_ = 3;
  RWCString server_type_, server_name_, user_, password_, database_, role_, error_;
};

#endif  // QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_
