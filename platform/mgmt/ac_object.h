#ifndef QX_PLATFORM_MGMT_AC_OBJECT_H_
#define QX_PLATFORM_MGMT_AC_OBJECT_H_

#include "platform/db/rw_cstring.h"
#include "platform/db/rw_tval_slist.h"
#include "platform/db/rwdb_database.h"

// Owner kinds of an access-control object.
enum ACAuxOwnerType { AC_OWNER_USER = 0, AC_OWNER_GROUP = 1 };

// An access-control object of the platform: a name and an owner, kept in the
// platform table "qx_acobject" of the same database (created when missing), so
// objects survive restarts and are seen by every process.
//
// Each object works through the platform connection of the process (see
// qx::mgmt::platform_database in platform_store.h): on SQLite that is the same
// session, and so the same transaction, as the application's own connection
// to the file; on PostgreSQL a connection of its own in auto-commit mode.
//
// Every operation returns true on success; on failure get_error_string()
// describes it. Not copyable. One thread at a time.
class ACObject {
 public:
  explicit ACObject(const RWCString& name);
  virtual ~ACObject();
  ACObject(const ACObject&) = delete;
  ACObject& operator=(const ACObject&) = delete;

  // Whether an object of this name (exact, case-sensitive) is stored. false
  // also when the question fails (then get_error_string() is not empty).
  bool exists();
  // Sets the owner stored by create().
  bool set_auxobject_owner(ACAuxOwnerType type, const RWCString& owner);
  // Stores the object; fails when it exists already.
  virtual bool create();
  // Removes the object; fails when it does not exist.
  virtual bool destroy();
  const RWCString& get_object_name() const { return name_; }
  const RWCString& get_owner() const { return owner_; }
  const RWCString& get_error_string() const { return error_; }

 protected:
  bool fail(const RWCString& what, const RWDBStatus& s);
  // Opens the platform database and makes sure the access-control table exists;
  // on failure records the reason and returns false.
  bool open_store(RWDBDatabase& db, RWDBConnection& conn);
  // The table list as stored ("a,b,c"); empty for a plain object.
  virtual RWCString tableText() const;
  RWCString kind_ = "object";
  RWCString name_;
  RWCString owner_ = "root";
  ACAuxOwnerType owner_type_ = AC_OWNER_USER;
  RWCString error_;
};

// An access-control object that groups database tables: its table list is
// stored with it (one text, tables separated by ",").
class ACDbObject : public ACObject {
 public:
  // flag is accepted for compatibility (callers pass 1).
  ACDbObject(const RWCString& name, char flag);
  bool set_db_object_table_list(RWTValSlist<RWCString>& tables);
  const RWTValSlist<RWCString>& get_db_object_table_list() const { return tables_; }
  bool create() override;
  // Adds a table to the stored object's list (nothing when it lists it already): a
  // table made after the object. Fails when the object is not stored.
  bool add_db_object_table(const RWCString& table);

 protected:
  RWCString tableText() const override;

 private:
  // Whether `t` can be listed; false (error string set) when it cannot.
  bool table_name(const RWCString& t);

  RWTValSlist<RWCString> tables_;
};

#endif  // QX_PLATFORM_MGMT_AC_OBJECT_H_
