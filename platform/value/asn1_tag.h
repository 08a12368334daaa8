#ifndef QX_PLATFORM_VALUE_ASN1_TAG_H_
#define QX_PLATFORM_VALUE_ASN1_TAG_H_

#include <cstdint>

// An ASN.1 tag: class and number. Whether an encoding is constructed is a
// property of the value, not of the tag (start_construct values are).
struct Asn1Tag {
  enum Class : uint8_t { UNIVERSAL = 0, APPLICATION = 1, CONTEXT = 2, PRIVATE = 3 };
  Class cls = UNIVERSAL;
  uint32_t number = 0;

  static constexpr Asn1Tag universal(uint32_t n) { return Asn1Tag{UNIVERSAL, n}; }
  static constexpr Asn1Tag application(uint32_t n) { return Asn1Tag{APPLICATION, n}; }
  static constexpr Asn1Tag context(uint32_t n) { return Asn1Tag{CONTEXT, n}; }
  static constexpr Asn1Tag priv(uint32_t n) { return Asn1Tag{PRIVATE, n}; }

  constexpr bool operator==(const Asn1Tag& o) const { return cls == o.cls && number == o.number; }
  constexpr bool operator!=(const Asn1Tag& o) const { return !(*this == o); }
  // "universal", "application", "context" or "private".
  const char* class_name() const;
};

inline constexpr Asn1Tag TAG_BOOL = Asn1Tag::universal(1);
inline constexpr Asn1Tag TAG_INT = Asn1Tag::universal(2);
inline constexpr Asn1Tag TAG_BITSTR = Asn1Tag::universal(3);
inline constexpr Asn1Tag TAG_OCTSTR = Asn1Tag::universal(4);
inline constexpr Asn1Tag TAG_NULL = Asn1Tag::universal(5);
inline constexpr Asn1Tag TAG_OID = Asn1Tag::universal(6);
inline constexpr Asn1Tag TAG_OBJDESC = Asn1Tag::universal(7);
inline constexpr Asn1Tag TAG_REAL = Asn1Tag::universal(9);
inline constexpr Asn1Tag TAG_ENUM = Asn1Tag::universal(10);
inline constexpr Asn1Tag TAG_UTF8STR = Asn1Tag::universal(12);
inline constexpr Asn1Tag TAG_SEQ = Asn1Tag::universal(16);
inline constexpr Asn1Tag TAG_SET = Asn1Tag::universal(17);
inline constexpr Asn1Tag TAG_NUMSTR = Asn1Tag::universal(18);
inline constexpr Asn1Tag TAG_PRINTSTR = Asn1Tag::universal(19);
inline constexpr Asn1Tag TAG_T61STR = Asn1Tag::universal(20);
inline constexpr Asn1Tag TAG_VIDEOTEXSTR = Asn1Tag::universal(21);
inline constexpr Asn1Tag TAG_IA5STR = Asn1Tag::universal(22);
inline constexpr Asn1Tag TAG_UTCTIME = Asn1Tag::universal(23);
inline constexpr Asn1Tag TAG_GENTIME = Asn1Tag::universal(24);
inline constexpr Asn1Tag TAG_GRAPHSTR = Asn1Tag::universal(25);
inline constexpr Asn1Tag TAG_VISSTR = Asn1Tag::universal(26);
inline constexpr Asn1Tag TAG_GENSTR = Asn1Tag::universal(27);
inline constexpr Asn1Tag TAG_UNIVSTR = Asn1Tag::universal(28);
inline constexpr Asn1Tag TAG_BMPSTR = Asn1Tag::universal(30);

inline constexpr Asn1Tag TAG_CTX0 = Asn1Tag::context(0);
inline constexpr Asn1Tag TAG_CTX1 = Asn1Tag::context(1);
inline constexpr Asn1Tag TAG_CTX2 = Asn1Tag::context(2);
inline constexpr Asn1Tag TAG_CTX3 = Asn1Tag::context(3);
inline constexpr Asn1Tag TAG_CTX4 = Asn1Tag::context(4);
inline constexpr Asn1Tag TAG_CTX5 = Asn1Tag::context(5);
inline constexpr Asn1Tag TAG_CTX6 = Asn1Tag::context(6);
inline constexpr Asn1Tag TAG_CTX7 = Asn1Tag::context(7);
inline constexpr Asn1Tag TAG_CTX8 = Asn1Tag::context(8);
inline constexpr Asn1Tag TAG_CTX9 = Asn1Tag::context(9);

#endif  // QX_PLATFORM_VALUE_ASN1_TAG_H_
