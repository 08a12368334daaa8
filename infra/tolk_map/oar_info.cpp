#include "oar_info.h"

#include "infra/tolk_map/trace.h"

int OarInfo::set_moiid(unsigned long& moiid) {
  moiid_ = static_cast<uint32_t>(moiid);
  return 1;
}

int OarInfo::set_table_type(unsigned char& type) {
  table_type_ = type;
  return 1;
}

int OarInfo::set_clear_severity(unsigned char& state, unsigned char& severity) {
  clear_severity_ = static_cast<uint8_t>((severity & 0x7f) | (state != 0 ? 0x80 : 0));
  tolk_info.print(146, "Set the clear severity: (hex : 0x%x) (dec : %d) \n", clear_severity_,
                  clear_severity_);
  return 1;
}

int OarInfo::set_clear_state(unsigned char& state) {
  clear_severity_ = static_cast<uint8_t>((clear_severity_ & 0x7f) | (state != 0 ? 0x80 : 0));
  tolk_info.print("147, Set the clear state:  (hex : 0x%x) (dec : %d) \n", clear_severity_,
                  clear_severity_);
  return 1;
}

int OarInfo::get_clear_severity(unsigned char& state, unsigned char& severity) const {
  state = (clear_severity_ & 0x80) != 0 ? 1 : 0;
  severity = clear_severity_ & 0x7f;
  return 1;
}
