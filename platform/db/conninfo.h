#ifndef QX_PLATFORM_DB_CONNINFO_H_
#define QX_PLATFORM_DB_CONNINFO_H_

// PostgreSQL connection strings as users write them, in either of libpq's forms:
//
//   postgresql://[user[:password]@][host][:port][/dbname][?param=value&...]
//   host=/var/run/postgresql dbname=logs user='a b' password=...
//
// The driver hands such a string to libpq as it stands; these helpers only look at
// it to keep its password out of messages. They never fail: text they cannot make
// sense of is left as it is (libpq will say what is wrong with it).

#include <string>
#include <vector>

namespace qx::db {

// Whether text is a PostgreSQL URL (postgresql:// or postgres://).
bool is_postgres_url(const std::string& text);

// The connection string without its passwords: a URL's user:password@ becomes
// user@ and every password parameter (URL query or key=value) is left out.
std::string without_password(const std::string& conninfo);

// The passwords written in the connection string, as written and percent-decoded
// (a URL's user information and password parameters, a key=value password), for
// scrubbing messages that may quote parts of the string.
std::vector<std::string> conninfo_passwords(const std::string& conninfo);

// message with every double-quoted part that holds one of the passwords replaced
// by "***" (libpq quotes the parts of a connection string that it cannot parse).
std::string scrub_passwords(const std::string& message, const std::vector<std::string>& passwords);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_CONNINFO_H_
