#include "infra/tolk_map/tables/intrnet.h"

#include "platform/value/private_arc.h"

const Oid objectInstLstOid(QX_PRIVATE_ARC ".2.2.2.9.2.7.1");
const Oid snmpVarBindOid(QX_PRIVATE_ARC ".2.2.2.9.2.4.1.1.13");
const Oid internetTrapOid(QX_PRIVATE_ARC ".2.2.2.9.2.4.1.1.14");
const Oid transportDomOid(QX_PRIVATE_ARC ".2.2.2.9.2.7.3");
const Oid accCntrlOid(QX_PRIVATE_ARC ".2.2.2.9.2.4.1.1.15");

namespace {

using qx::ColumnDef;

constexpr ATTRIBUTES kObjectInstances = ATTRIBUTES(35);
constexpr ATTRIBUTES kVarBinds = ATTRIBUTES(36);
constexpr ATTRIBUTES kTrapInfo = ATTRIBUTES(37);
constexpr ATTRIBUTES kTransportDomain = ATTRIBUTES(38);
constexpr ATTRIBUTES kAccessControl = ATTRIBUTES(39);

constexpr auto kColumns =
    qx::concat(qx::kCommonEventColumns, qx::kAlarmKeyColumns,
               std::array<ColumnDef, 7>{{
                   {"attributeIdList_s", RWDBValue::String, 255, true, ATTR_ATTRIBUTE_ID_LIST},
                   {"objectInstanceLsts", RWDBValue::String, 255, true, kObjectInstances},
                   {"snmpVarBindList_s", RWDBValue::String, 255, true, kVarBinds},
                   {"internetTrapInfo_s", RWDBValue::String, 255, true, kTrapInfo},
                   {"perceivedSeverity", RWDBValue::String, 14, true, ATTR_PERCEIVED_SEVERITY},
                   {"transportDomain_s", RWDBValue::String, 255, true, kTransportDomain},
                   {"accessControlInfos", RWDBValue::String, 255, true, kAccessControl},
               }},
               qx::kAlarmStateColumns, qx::kBlobColumn);

const CodecSpec kCodecs[] = {
    {&probableCauseOid, pop_qxlist, ins_qxlist, "probableCause", ATTR_PROBABLE_CAUSE},
    {&attributeIdListOid, pop_qxlist, ins_qxlist, "attributeIdList", ATTR_ATTRIBUTE_ID_LIST},
    {&objectInstLstOid, pop_qxlist, ins_qxlist, "objectInstanceList", kObjectInstances},
    {&snmpVarBindOid, pop_qxlist, ins_qxlist, "snmpVarBindList", kVarBinds},
    {&internetTrapOid, pop_qxlist, ins_qxlist, "internetTrapInfo", kTrapInfo},
    {&transportDomOid, pop_qxlist, ins_qxlist, "transportDomain", kTransportDomain},
    {&accCntrlOid, pop_qxlist, ins_qxlist, "accessControlInfo", kAccessControl},
    {&perceivedSeverityOid, pop_perceivedSeverity, ins_perceivedSeverity, "perceivedSeverity",
     ATTR_PERCEIVED_SEVERITY},
};

// The list-valued attributes come back from the blob; their readers only name them.
const ReaderSpec kReaders[] = {
    {"probablecause_s", rdr_qxlist, "probableCause_s", &probableCauseOid},
    {"attributeidlist_s", rdr_qxlist, "attributeIdList_s", &attributeIdListOid},
    {"objectinstancelist_s", rdr_qxlist, "objectInstanceLsts", &objectInstLstOid},
    {"snmpvarbindlist_s", rdr_qxlist, "snmpVarBindList_s", &snmpVarBindOid},
    {"internettrapinfo_s", rdr_qxlist, "internetTrapInfo_s", &internetTrapOid},
    {"perceivedseverity", rdr_perceivedSeverity, "perceivedSeverity", &perceivedSeverityOid},
    {"transportdomain_s", rdr_qxlist, "transportDomain_s", &transportDomOid},
    {"accesscontrolinfos", rdr_qxlist, "accessControlInfos", &accCntrlOid},
};

const qx::IndexDef kIndexes[] = {{"intid", "logRecordId"}, {"imoid", "moi_id"}};

const qx::EventClass kEventClass = {
    .class_name = "IntrNetT",
    .type = INTRNET_TABLE,
    .stem = "qxInt",
    .indexes = kIndexes,
    .synonym_suffix = "intAlm",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{80, 81}, {82, 83}, {84, 85}},
    .initial_texts = qx::kAlarmInitialTexts,
    .changed_in_place = qx::kAckClearAttributes,
};

const qx::AlarmClass kClass = {
    .event = kEventClass,
    .specific_problems_column = nullptr,
    .lookup_selects_clear_state = true,
    .clear_messages = {86, 87},
};

}  // namespace

IntrNetT::IntrNetT(LogMapper* owner) : AlarmLogT(owner, kClass) {}

const qx::AlarmClass& IntrNetT::description() { return kClass; }
