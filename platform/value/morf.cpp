#include "platform/value/morf.h"

Morf::Morf(const char* name, const Platform& platform) {
  Oid attribute;
  if (name == nullptr || !platform.find_attribute(name, attribute)) {
    error_ = std::string("no attribute named '") + (name ? name : "") + "'";
    return;
  }
  syntax_ = Syntax(attribute, platform.attribute_type(attribute));
  valid_ = true;
}

Morf::Morf(const Syntax& syntax, const DataUnit& text) : syntax_(syntax) {
  if (!syntax.valid()) {
    error_ = "no syntax";
    return;
  }
  valid_ = syntax.type()->parse_value(text.view(), value_, &error_);
}
