#ifndef QX_PLATFORM_VALUE_OI2FDN_H_
#define QX_PLATFORM_VALUE_OI2FDN_H_

#include <string>
#include <string_view>

#include "platform/value/asn1_value.h"

// The full distinguished name of an object instance, for the columns that
// keep managed object instances and for log names. An instance in the
// distinguishedName form ([2] RDNSequence) gives "/" followed by its
// relative names, attributes by registered name and values in the value
// notation: /systemId="ne-17"/logId=3 (an empty name gives "/"). Any other
// instance (the other forms, a malformed name) gives the value notation of
// the ObjectInstance, which never begins with "/". Empty for an empty value.
// Raises nothing.
std::string oi2fdn(const Asn1Value& object_instance);

// Reads the text oi2fdn makes back into the object instance. On success
// stores it in out and returns true; on failure returns false, leaves out
// unchanged and stores the position and what was expected in *error.
bool fdn2oi(std::string_view text, Asn1Value& out, std::string* error = nullptr);

#endif  // QX_PLATFORM_VALUE_OI2FDN_H_
