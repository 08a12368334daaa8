#ifndef QX_PLATFORM_VALUE_OID_NAME_REGISTRY_H_
#define QX_PLATFORM_VALUE_OID_NAME_REGISTRY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/oid.h"
#include "platform/value/standard_names.h"

// The registered names of object identifiers: the standard attributes,
// object and record classes, notifications (event types), packages, probable
// causes and other registered values, and the platform's own identifiers
// below PRIVATE_ARC. A name stands for exactly one identifier and an
// identifier has at most one name, so printing an identifier by its name and
// reading the name back always gives the same identifier.
//
// Names are case-sensitive: a letter followed by letters, digits, '-' or '_'
// ("powerProblem", "dTE-DCEInterfaceError"); TRUE, FALSE, NULL,
// PLUS-INFINITY and MINUS-INFINITY are words of the value notation and never
// names.
//
// The registry is process-wide, built on first use. One thread at a time
// (the lookups are safe from several threads as long as nobody adds names).
class OidNameRegistry {
 public:
  struct Entry {
    std::string name;
    std::string contents;  // the identifier's BER contents octets
    qx::NameKind kind;
  };

  // Reads an identifier given by its registered name or as dotted text
  // ("powerProblem" or "2.9.3.2.0.0.35"). On success stores it in out and
  // returns true; on failure (an unknown name, malformed dotted text) returns
  // false, leaves out unchanged and raises nothing.
  static bool find_oid_by_name(std::string_view name, Oid& out);

  // The registered name of an identifier. On success stores it in name and
  // returns true; an identifier without a name returns false and leaves name
  // unchanged. Raises nothing.
  static bool find_name_by_oid(const Oid& oid, std::string& name);
  // The same without copying: the name, or nullptr when there is none. The
  // text lives as long as the process.
  static const char* find_name_by_oid(const Oid& oid);

  // Lookups by name and by contents octets; nullptr when not registered.
  // Entries live as long as the process.
  static const Entry* by_name(std::string_view name);
  static const Entry* by_contents(std::string_view contents);

  // Registers a further name (for identifiers of other information models).
  // Refused (false, InvalidX raised) when the name is not a valid name, or
  // when the name or the identifier is registered already.
  static bool add(std::string_view name, const Oid& oid, qx::NameKind kind);

  // Counts the names added: what was printed by name at one generation holds while
  // the generation is the same.
  static uint32_t generation();

  // True for a syntactically valid name that is not a word of the notation.
  static bool valid_name(std::string_view name);

  // Every entry, in registration order (standard names first).
  static std::vector<const Entry*> entries();
};

#endif  // QX_PLATFORM_VALUE_OID_NAME_REGISTRY_H_
