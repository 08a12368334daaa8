// The record tables of object creation and object deletion records: the same columns,
// codecs and readers; their names, index and message numbers tell them apart.
#include "infra/tolk_map/tables/objcrt.h"
#include "infra/tolk_map/tables/objdlt.h"

namespace {

using qx::ColumnDef;

constexpr auto kColumns = qx::with_common_columns(std::array<ColumnDef, 4>{{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"sourceIndicator", RWDBValue::String, 20, true, ATTR_SOURCE_INDICATOR},
    {"attributeList_s", RWDBValue::String, 255, true, ATTR_ATTRIBUTE_LIST},
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}});

const CodecSpec kCodecs[] = {
    {&sourceIndicatorOid, pop_srcind, ins_srcind, "sourceIndicator", ATTR_SOURCE_INDICATOR},
    {&attributeListOid, pop_qxlist, ins_qxlist, "attributeList", ATTR_ATTRIBUTE_LIST},
};

const ReaderSpec kReaders[] = {
    {"sourceindicator", rdr_srcind, "sourceIndicator", &sourceIndicatorOid},
    {"attributelist_s", rdr_qxlist, "attributeList_s", &attributeListOid},
};

const qx::IndexDef kCreationIndexes[] = {{"obcid", "logRecordId"}};
const qx::IndexDef kDeletionIndexes[] = {{"obdid", "logRecordId"}};

const qx::EventClass kCreation = {
    .class_name = "ObjcrtT",
    .type = OBJCRT_TABLE,
    .stem = "ObCre",
    .indexes = kCreationIndexes,
    .synonym_suffix = "objcrt",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{96, 97}, {98, 99}, {100, 101}},
};

const qx::EventClass kDeletion = {
    .class_name = "ObjdltT",
    .type = OBJDLT_TABLE,
    .stem = "ObDel",
    .indexes = kDeletionIndexes,
    .synonym_suffix = "objdlt",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{102, 103}, {104, 105}, {106, 107}},
};

}  // namespace

ObjcrtT::ObjcrtT(LogMapper* owner) : EventLogT(owner, kCreation) {}

const qx::EventClass& ObjcrtT::description() { return kCreation; }

ObjdltT::ObjdltT(LogMapper* owner) : EventLogT(owner, kDeletion) {}

const qx::EventClass& ObjdltT::description() { return kDeletion; }
