#ifndef QX_PLATFORM_VALUE_GENERALIZED_TIME_H_
#define QX_PLATFORM_VALUE_GENERALIZED_TIME_H_

#include <string>
#include <string_view>

#include "platform/value/asn1_value.h"
#include "platform/value/time_stamp.h"

// An ASN.1 GeneralizedTime: "YYYYMMDDHH[MM[SS]][(.|,)fraction][Z|(+|-)hh[mm]]"
// (the fraction belongs to the last unit given; without a zone the time is
// local time). Malformed text is refused, never guessed at: error() then says
// why, and to_time_stamp() is invalid. Precision is the millisecond: finer
// fractions are cut. A value type.
class GeneralizedTime {
 public:
  // How a TimeStamp is written.
  enum Flag {
    UTC = 0,           // "YYYYMMDDHHMMSS[.fff]Z"
    LOCAL_OFFSET = 1,  // local time with its offset: "...+0100"
    LOCAL = 2,         // local time without zone
  };

  GeneralizedTime();  // error(): "no time"
  explicit GeneralizedTime(std::string_view text);
  // The octets of v (primitive or a constructed string), or of v's only
  // component when that is a GeneralizedTime (an explicit tag such as [0]);
  // the tag is not checked.
  explicit GeneralizedTime(const Asn1Value& v);
  // An invalid stamp gives error() "invalid time stamp". The fraction is
  // written only when the milliseconds are not 0, without trailing zeros.
  GeneralizedTime(const TimeStamp& ts, int flag);

  // The text GeneralizedTime(ts, UTC) holds, written into buf (kUtcTextMax
  // octets) without building the object: its length, 0 for an invalid stamp.
  static constexpr size_t kUtcTextMax = 20;
  static size_t utc_text(const TimeStamp& ts, char* buf);

  // Empty when the time is valid.
  const std::string& error() const { return error_; }
  bool valid() const { return error_.empty(); }
  // The text as given or built.
  const std::string& text() const { return text_; }

  // The instant; invalid when error() is not empty.
  TimeStamp to_time_stamp() const { return stamp_; }
  // GeneralizedTime(v).to_time_stamp() without keeping the text or building an error:
  // the time read on every write of a time column.
  static TimeStamp stamp_of(const Asn1Value& v);
  // The text as a GeneralizedTime value (TAG_GENTIME); empty when invalid.
  Asn1Value to_asn1() const;

 private:
  // Reads s into *out: nullptr, else what is wrong with it (*out then unchanged).
  static const char* read(std::string_view s, TimeStamp* out);
  void parse();

  std::string text_;
  std::string error_;
  TimeStamp stamp_;
};

#endif  // QX_PLATFORM_VALUE_GENERALIZED_TIME_H_
