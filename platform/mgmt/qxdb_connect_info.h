#ifndef QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_
#define QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_

#include <string>

#include "platform/db/rw_cstring.h"

// The platform's description of a database connection. Service 3 (the one the
// log mapper uses) comes from the environment variable QXDB_URL:
//   sqlite:PATH             (also sqlite::memory:)
//   postgresql://[user[:password]@][host][:port][/dbname][?param=value&...]
//                           (postgres:// also accepted)
//   key=value ...           (PostgreSQL's other form: host=... dbname=... ...)
// Unset or empty: sqlite:logmapper.db in the working directory.
//
// A PostgreSQL connection string is handed to libpq as it stands, every parameter
// honoured (sslmode, host as a socket directory, connect_timeout ...) and the PG*
// environment variables applying to what it leaves out, as for psql: it is the
// database name (libpq takes a connection string in its place), and the server,
// user and password names are empty. libpq says what is wrong with a string it
// cannot use when the database is opened. Passwords are never printed: url()
// leaves them out.
//
// A text that is none of these forms gives is_valid() false with the reason in
// error_string(), and an empty server type. A value type; the environment is read
// by the constructor.
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
  // Empty: SQLite has no server, and a PostgreSQL string names its own.
  const RWCString& get_server_name() const { return server_name_; }
  const RWCString& get_user_name() const { return user_; }
  const RWCString& get_user_password() const { return password_; }
  // The SQLite file path, or the PostgreSQL connection string as written.
  const RWCString& get_database_name() const { return database_; }
  // The platform role of the connection; "logmapper" for service 3.
  const RWCString& get_role() const { return role_; }
  // The description without a password, for messages.
  RWCString url() const;

 private:
  struct Blank {};
  explicit QXDBConnectInfo(Blank) {}
  void parse(const std::string& url);

  int service_ = 3;
  RWCString server_type_, server_name_, user_, password_, database_, role_, error_;
};

#endif  // QX_PLATFORM_MGMT_QXDB_CONNECT_INFO_H_
