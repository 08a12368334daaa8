#ifndef QX_TOOLS_LOGMAPPER_STORE_H_
#define QX_TOOLS_LOGMAPPER_STORE_H_

// Opening the store and its logs for a command, and failures that carry the library's
// reason.

#include <memory>
#include <string>

#include "tolk.h"

namespace logmapper {

// What a command does with the store. kRead: the store must exist and is only read
// (an embedded store is opened read-only, so that a store the user may not write can
// be read, and a path that names no store is an error instead of a new empty store).
// kWrite: the store is opened for writing, an embedded one created when missing.
enum class Access { kRead, kWrite };

// Opens the store that --db or QXDB_URL names. On failure writes the reason and
// returns false. Call it before any other use of the library in a command.
bool open_store(const char* command, Access access);

// Opens the store and rebuilds the stored log LOG with the state of its records, as a
// management process does at start-up (with load_records false, without them: for
// work that needs none, such as deleting the log). Null (the reason written) when the
// store cannot be opened, has no such log, or its records cannot be read.
std::unique_ptr<LogMapper> open_log(const char* command, const std::string& log, Access access,
                                    bool load_records = true);

// Writes "logmapper: <command>: <text>: <reason>" on stderr, the reason being
// LogMapper::last_failure() (left out when the library gave none); returns kFail.
int fail_library(const char* command, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Commits the command's work; on failure rolls back, writes the reason and returns false.
bool commit(const char* command);

// Ends a command that changed the store with the result of its operation (1: done):
// commits and returns kOk, or rolls back, writes "<text>: <reason>" and returns kFail.
int finish(const char* command, int result, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// The alarm state cache entry of a record about to be written (a SET of SEQUENCE
// {identifier, value}), filled as a management process fills it: the store's number of
// the record's managedObjectInstance (given one now when it has none yet), and the
// clear state and severity of its clearState and perceivedSeverity. Null when the
// managed object cannot be numbered (LogMapper::last_failure() says why).
std::unique_ptr<OarInfo> cache_entry(const Asn1Value& list);

// The store as the user named it, without a password.
std::string store_name();

}  // namespace logmapper

#endif  // QX_TOOLS_LOGMAPPER_STORE_H_
