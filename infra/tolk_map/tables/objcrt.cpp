#include "infra/tolk_map/tables/objcrt.h"

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

const qx::IndexDef kIndexes[] = {{"obcid", "logRecordId"}};

const qx::EventClass kClass = {
    .class_name = "ObjcrtT",
    .type = OBJCRT_TABLE,
    .stem = "ObCre",
    .indexes = kIndexes,
    .synonym_suffix = "objcrt",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{96, 97}, {98, 99}, {100, 101}},
};

}  // namespace

ObjcrtT::ObjcrtT(LogMapper* owner) : EventLogT(owner, kClass) {}

const qx::EventClass& ObjcrtT::description() { return kClass; }
