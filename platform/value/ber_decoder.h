#ifndef QX_PLATFORM_VALUE_BER_DECODER_H_
#define QX_PLATFORM_VALUE_BER_DECODER_H_

// Decoding of untrusted BER: validates one element and writes its
// definite-length form (minimal length octets). Every read is bounds-checked;
// nothing is allocated beyond the canonical form of the input.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx::ber {

struct DecodeError {
  size_t offset = 0;  // where in the input the fault lies
  std::string what;   // what is wrong
};

// Decodes one element from in[0..n) into out (its definite-length encoding).
// consumed: the element's length in the input; when allow_trailing is false,
// octets after the element are an error. Nesting deeper than max_depth is
// refused. On failure returns false, fills err and leaves out unchanged.
bool decode(const uint8_t* in, size_t n, bool allow_trailing, int max_depth, std::string& out,
            size_t& consumed, DecodeError& err);

}  // namespace qx::ber

#endif  // QX_PLATFORM_VALUE_BER_DECODER_H_
