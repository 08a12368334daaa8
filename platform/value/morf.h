#ifndef QX_PLATFORM_VALUE_MORF_H_
#define QX_PLATFORM_VALUE_MORF_H_

#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/data_unit.h"
#include "platform/value/platform.h"
#include "platform/value/syntax.h"

// Turns the text of an attribute value into the value, in two steps:
//
//   Morf m(name, Platform::def_platform);   // the attribute's syntax
//   Morf v(m.get_syntax(), DataUnit(text)); // the text, parsed
//   if (v.valid()) value = v.get_value();
//
// Building a Morf raises nothing; valid() and error() tell the outcome.
class Morf {
 public:
  // The syntax of the attribute named name (a registered attribute name or
  // dotted text); its type is the registered one, or the generic type for an
  // attribute without one. valid() is false, and get_syntax() invalid, when
  // name names no attribute.
  Morf(const char* name, const Platform& platform);

  // Parses text (the whole unit) in the value notation as a value of
  // syntax's type. valid() tells whether it succeeded; error() then says
  // where and what was expected. An invalid syntax gives an invalid Morf.
  Morf(const Syntax& syntax, const DataUnit& text);

  bool valid() const { return valid_; }
  const Syntax& get_syntax() const { return syntax_; }
  // The parsed value; empty unless valid.
  const Asn1Value& get_value() const { return value_; }
  // Why the Morf is invalid ("" when valid).
  const std::string& error() const { return error_; }

 private:
  Syntax syntax_;
  Asn1Value value_;
  bool valid_ = false;
  std::string error_;
};

#endif  // QX_PLATFORM_VALUE_MORF_H_
