#include "platform/value/asn1_tag.h"

const char* Asn1Tag::class_name() const {
  switch (cls) {
    case UNIVERSAL:
      return "universal";
    case APPLICATION:
      return "application";
    case CONTEXT:
      return "context";
    case PRIVATE:
      return "private";
  }
  return "universal";
}
