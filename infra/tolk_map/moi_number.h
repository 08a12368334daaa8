// The number of a managed object instance: the platform's UniqueMO service gives every
// encoded instance one number, the same in every process sharing the store. Alarm
// records carry it (moi_id, from the OarInfo of their write), and the clear-all and the
// lookups of a managed object go by it.
#pragma once

#include "platform/db/rwdb_blob.h"
#include "platform/value/asn1_value.h"

class UniqueMO;

// The service, made by set_uniqMO on first use from the connection description; null
// before. Forgotten by tolk_reset_for_tests.
extern UniqueMO* uniqMO;
void set_uniqMO();

// The value's encoding into `blob`; false when the value is empty.
bool tolk_asn2blob(Asn1Value value, RWDBBlob& blob);

namespace qx {
// The encoded managed object instance the platform numbered `number`: 1 with `encoding`
// holding it, 0 when no instance has that number, -1 on failure (ProcessFailX raised).
int moi_encoding(long number, RWDBBlob& encoding);
// Deletes the service, as if the process restarted.
void reset_unique_mo();
}  // namespace qx
