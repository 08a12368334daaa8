#include "platform/db/rwdb_tracer.h"

void RWDBTracer::trace(const RWCString& text) {
  if (!isOn()) return;
  *os_ << "qxdb: " << text << '\n';
  os_->flush();
}
