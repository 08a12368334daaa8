#include "platform/value/attribute_types.h"

namespace qx {

// The standard modules are written with IMPLICIT TAGS: a.tag(n, t) tags
// implicitly, and explicitly for a CHOICE or an open type. The protocol
// module (object class and instance, attribute and event type identifiers,
// the filter) spells IMPLICIT out where it applies; everything else there is
// explicit.
AttributeTypeTable define_attribute_types(TypeArena& a) {
  AttributeTypeTable table;
  auto& attrs = table.attributes;

  // ---- Basic types.
  const Asn1Type* boolean = a.boolean();
  const Asn1Type* integer = a.integer();
  const Asn1Type* null = a.null();
  const Asn1Type* oid = a.oid();
  const Asn1Type* real = a.real();
  const Asn1Type* octets = a.octet_string();
  const Asn1Type* graphic = a.char_string(TAG_GRAPHSTR);
  const Asn1Type* gtime = a.generalized_time();
  const Asn1Type* any = a.any();
  const Asn1Type* dn = a.distinguished_name();
  table.generic = any;

  // ---- Protocol types: identifiers, object classes and instances.
  const Asn1Type* object_class = a.choice(
      "ObjectClass", {{"globalForm", a.implicit(0, oid)}, {"localForm", a.implicit(1, integer)}});
  const Asn1Type* object_instance =
      a.choice("ObjectInstance", {{"distinguishedName", a.implicit(2, dn)},
                                  {"nonSpecificForm", a.implicit(3, octets)},
                                  {"localDistinguishedName", a.implicit(4, dn)}});
  table.object_instance = object_instance;
  // The attribute identifier: its two standard forms, and the bare
  // identifier that the platform's own attribute lists carry.
  const Asn1Type* attribute_id = a.choice(
      "AttributeId",
      {{"globalForm", a.implicit(0, oid)}, {"localForm", a.implicit(1, integer)}, {"oid", oid}});
  const Asn1Type* event_type_id = a.choice(
      "EventTypeId", {{"globalForm", a.implicit(6, oid)}, {"localForm", a.implicit(7, integer)}});
  const Asn1Type* attribute =
      a.sequence("Attribute", {{"id", attribute_id}, {"value", any, false, /*defined_by=*/0}});
  const Asn1Type* attribute_list = a.set_of(attribute, "AttributeList");
  const Asn1Type* attribute_id_list = a.set_of(attribute_id, "AttributeIdentifierList");
  const Asn1Type* name = a.choice("Name", {{"rdnSequence", dn}});
  const Asn1Type* ae_title =
      a.choice("AE-title", {{"ae-title-form1", name}, {"ae-title-form2", oid}});

  // ---- Alarm reporting.
  const Asn1Type* probable_cause =
      a.choice("ProbableCause", {{"globalValue", oid}, {"localValue", integer}});
  const Asn1Type* perceived_severity = a.enumerated("PerceivedSeverity", {{"indeterminate", 0},
                                                                          {"critical", 1},
                                                                          {"major", 2},
                                                                          {"minor", 3},
                                                                          {"warning", 4},
                                                                          {"cleared", 5}});
  const Asn1Type* specific_identifier =
      a.choice("SpecificIdentifier", {{"oi", oid}, {"int", integer}});
  const Asn1Type* specific_problems = a.set_of(specific_identifier, "SpecificProblems");
  const Asn1Type* back_up_object =
      a.choice("BackUpRelationshipObject", {{"objectName", object_instance}, {"noObject", null}});
  const Asn1Type* trend_indication =
      a.enumerated("TrendIndication", {{"lessSevere", 0}, {"noChange", 1}, {"moreSevere", 2}});
  const Asn1Type* observed_value =
      a.choice("ObservedValue", {{"integer", integer}, {"real", real}});
  const Asn1Type* threshold_level = a.choice(
      "ThresholdLevelInd",
      {{"up", a.tag(1, a.sequence("", {{"high", observed_value}, {"low", observed_value, true}}))},
       {"down", a.tag(2, a.sequence("", {{"high", observed_value}, {"low", observed_value}}))}});
  const Asn1Type* threshold_info =
      a.sequence("ThresholdInfo", {{"triggeredThreshold", attribute_id},
                                   {"observedValue", observed_value},
                                   {"thresholdLevel", a.tag(1, threshold_level), true},
                                   {"armTime", a.tag(2, gtime), true}});
  const Asn1Type* notification_id = integer;
  const Asn1Type* correlated_notifications =
      a.set_of(a.sequence("", {{"correlatedNotifications", a.set_of(notification_id)},
                               {"sourceObjectInst", object_instance, true}}),
               "CorrelatedNotifications");
  const Asn1Type* value_change_definition =
      a.set_of(a.sequence("", {{"attributeId", attribute_id},
                               {"oldAttributeValue", a.tag(1, any), true, 0},
                               {"newAttributeValue", a.tag(2, any), false, 0}}),
               "AttributeValueChangeDefinition");
  const Asn1Type* monitored_attributes = a.set_of(attribute, "MonitoredAttributes");
  const Asn1Type* proposed_repair_actions = a.set_of(specific_identifier, "ProposedRepairActions");
  const Asn1Type* management_extension =
      a.sequence("ManagementExtension", {{"identifier", oid},
                                         {"significance", a.tag(1, boolean), true},
                                         {"information", a.tag(2, any), false, 0}});
  const Asn1Type* additional_information = a.set_of(management_extension, "AdditionalInformation");
  const Asn1Type* source_indicator = a.enumerated(
      "SourceIndicator", {{"resourceOperation", 0}, {"managementOperation", 1}, {"unknown", 2}});

  // ---- Security alarm reporting.
  const Asn1Type* security_alarm_detector =
      a.choice("SecurityAlarmDetector", {{"mechanism", a.tag(0, oid)},
                                         {"object", a.tag(1, object_instance)},
                                         {"application", a.tag(2, ae_title)}});
  const Asn1Type* service_user =
      a.sequence("ServiceUser", {{"identifier", oid}, {"details", any, false, 0}});

  // ---- Logs and scheduling.
  const Asn1Type* simple_name =
      a.choice("SimpleNameType", {{"number", integer}, {"string", graphic}});
  const Asn1Type* availability_status = a.set_of(a.integer({{"inTest", 0},
                                                            {"failed", 1},
                                                            {"powerOff", 2},
                                                            {"offLine", 3},
                                                            {"offDuty", 4},
                                                            {"dependency", 5},
                                                            {"degraded", 6},
                                                            {"notInstalled", 7},
                                                            {"logFull", 8}}),
                                                 "AvailabilityStatus");
  const Asn1Type* time24 = a.sequence("Time24", {{"hour", integer}, {"minute", integer}});
  const Asn1Type* intervals_of_day = a.set_of(
      a.sequence("", {{"intervalStart", time24}, {"intervalEnd", time24}}), "IntervalsOfDay");
  const Asn1Type* week_mask = a.set_of(
      a.sequence("", {{"daysOfWeek", a.bit_string()}, {"intervalsOfDay", intervals_of_day}}),
      "WeekMask");
  const Asn1Type* stop_time = a.choice("StopTime", {{"specific", gtime}, {"continual", null}});

  // The discriminator construct (a filter of the protocol module).
  Asn1Type* filter = a.forward_choice("CMISFilter");
  const Asn1Type* filter_item = a.choice(
      "FilterItem",
      {{"equality", a.implicit(0, attribute)},
       {"substrings",
        a.implicit(1, a.sequence_of(a.choice("", {{"initialString", a.implicit(0, attribute)},
                                                  {"anyString", a.implicit(1, attribute)},
                                                  {"finalString", a.implicit(2, attribute)}})))},
       {"greaterOrEqual", a.implicit(2, attribute)},
       {"lessOrEqual", a.implicit(3, attribute)},
       {"present", a.explicit_tag(4, attribute_id)},
       {"subsetOf", a.implicit(5, attribute)},
       {"supersetOf", a.implicit(6, attribute)},
       {"nonNullSetIntersection", a.implicit(7, attribute)}});
  a.define_choice(filter, {{"item", a.explicit_tag(8, filter_item)},
                           {"and", a.implicit(9, a.set_of(filter))},
                           {"or", a.implicit(10, a.set_of(filter))},
                           {"not", a.explicit_tag(11, filter)}});

  // ---- State management and relationships.
  auto status_set = [&](const char* type_name, std::initializer_list<Asn1Type::NamedNumber> n) {
    return a.set_of(a.integer(n), type_name);
  };
  const Asn1Type* prioritised_object =
      a.set_of(a.sequence("", {{"object", object_instance},
                               {"priority", a.integer({{"highest", 0}, {"lowest", 127}})}}),
               "PrioritisedObject");
  const Asn1Type* group_objects = a.set_of(object_instance, "GroupObjects");
  const Asn1Type* destination =
      a.choice("Destination", {{"single", ae_title}, {"multiple", a.set_of(ae_title)}});

  // ---- Standard attributes.
  attrs = {
      {"discriminatorId", simple_name},
      {"logId", simple_name},
      {"logRecordId", simple_name},
      {"systemId",
       a.choice("SystemId", {{"name", graphic}, {"number", integer}, {"nothing", null}})},
      {"systemTitle",
       a.choice("SystemTitle", {{"distinguishedName", dn}, {"oid", oid}, {"nothing", null}})},
      {"additionalInformation", additional_information},
      {"additionalText", graphic},
      {"attributeIdentifierList", attribute_id_list},
      {"attributeList", attribute_list},
      {"attributeValueChangeDefinition", value_change_definition},
      {"backedUpStatus", boolean},
      {"correlatedNotifications", correlated_notifications},
      {"eventTime", gtime},
      {"eventType", event_type_id},
      {"monitoredAttributes", monitored_attributes},
      {"notificationIdentifier", notification_id},
      {"perceivedSeverity", perceived_severity},
      {"probableCause", probable_cause},
      {"proposedRepairActions", proposed_repair_actions},
      {"relationshipChangeDefinition", value_change_definition},
      {"securityAlarmCause", oid},
      {"securityAlarmDetector", security_alarm_detector},
      {"securityAlarmSeverity", perceived_severity},
      {"serviceProvider", service_user},
      {"serviceUser", service_user},
      {"sourceIndicator", source_indicator},
      {"specificProblems", specific_problems},
      {"stateChangeDefinition", value_change_definition},
      {"thresholdInfo", threshold_info},
      {"trendIndication", trend_indication},
      {"administrativeState",
       a.enumerated("AdministrativeState", {{"locked", 0}, {"unlocked", 1}, {"shuttingDown", 2}})},
      {"alarmStatus", status_set("AlarmStatus", {{"underRepair", 0},
                                                 {"critical", 1},
                                                 {"major", 2},
                                                 {"minor", 3},
                                                 {"alarmOutstanding", 4}})},
      {"availabilityStatus", availability_status},
      {"controlStatus", status_set("ControlStatus", {{"subjectToTest", 0},
                                                     {"partOfServicesLocked", 1},
                                                     {"reservedForTest", 2},
                                                     {"suspended", 3}})},
      {"operationalState", a.enumerated("OperationalState", {{"disabled", 0}, {"enabled", 1}})},
      {"proceduralStatus", status_set("ProceduralStatus", {{"initializationRequired", 0},
                                                           {"notInitialized", 1},
                                                           {"initializing", 2},
                                                           {"reporting", 3},
                                                           {"terminating", 4}})},
      {"standbyStatus", a.integer({{"hotStandby", 0}, {"coldStandby", 1}, {"providingService", 2}},
                                  "StandbyStatus")},
      {"unknownStatus", boolean},
      {"usageState", a.enumerated("UsageState", {{"idle", 0}, {"active", 1}, {"busy", 2}})},
      {"backUpObject", back_up_object},
      {"backedUpObject", back_up_object},
      {"member", group_objects},
      {"owner", group_objects},
      {"peer", back_up_object},
      {"primary", prioritised_object},
      {"providerObject", prioritised_object},
      {"secondary", prioritised_object},
      {"userObject", prioritised_object},
      {"activeDestination", destination},
      {"allomorphs", a.set_of(object_class, "Allomorphs")},
      {"backUpDestinationList", a.sequence_of(ae_title, "BackUpDestinationList")},
      {"capacityAlarmThreshold", a.set_of(integer, "CapacityAlarmThreshold")},
      {"confirmedMode", boolean},
      {"currentLogSize", integer},
      {"destination", destination},
      {"discriminatorConstruct", filter},
      {"intervalsOfDay", intervals_of_day},
      {"logFullAction", a.enumerated("LogFullAction", {{"wrap", 0}, {"halt", 1}})},
      {"loggingTime", gtime},
      {"managedObjectClass", object_class},
      {"managedObjectInstance", object_instance},
      {"maxLogSize", a.integer({{"unlimited", 0}}, "MaxLogSize")},
      {"nameBinding", oid},
      {"numberOfRecords", integer},
      {"objectClass", object_class},
      {"packages", a.set_of(oid, "Packages")},
      {"schedulerName", object_instance},
      {"startTime", gtime},
      {"stopTime", stop_time},
      {"supportedFeatures",
       a.set_of(a.sequence("", {{"featureIdentifier", oid}, {"featureInfo", any, false, 0}}),
                "SupportedFeatures")},
      {"weekMask", week_mask},
      {"lifecycleState",
       a.enumerated("LifecycleState", {{"planned", 0}, {"installed", 1}, {"pendingRemoval", 2}})},
  };

  // ---- The platform's own attributes.
  // The operator's times: the time, or none; the bare GeneralizedTime is
  // accepted as well, as the alarm tables take it.
  const Asn1Type* operator_time = a.choice("OperatorTime", {{"time", a.explicit_tag(0, gtime)},
                                                            {"noTime", a.explicit_tag(1, null)},
                                                            {"generalizedTime", gtime}});
  const Asn1Type* ack_state = a.enumerated("AckState", {{"unAcked", 0}, {"acked", 1}});
  const Asn1Type* clear_state = a.enumerated("ClearState", {{"unCleared", 0}, {"cleared", 1}});
  const Asn1Type* display_state =
      a.enumerated("DisplayState", {{"unDisplayed", 0}, {"displayed", 1}});
  // Alarms raised from SNMP traps: the trap's variable bindings (values of
  // SNMP's own types, kept exact in the generic form), the header of the
  // trap, the transport domain (an identifier such as snmpUDPDomain) and the
  // community.
  const Asn1Type* var_bind_list =
      a.sequence_of(a.sequence("VarBind", {{"name", oid}, {"value", any}}), "VarBindList");
  const Asn1Type* trap_info =
      a.sequence("InternetTrapInfo", {{"enterprise", oid},
                                      {"agentAddress", octets},
                                      {"genericTrap", a.integer({{"coldStart", 0},
                                                                 {"warmStart", 1},
                                                                 {"linkDown", 2},
                                                                 {"linkUp", 3},
                                                                 {"authenticationFailure", 4},
                                                                 {"egpNeighborLoss", 5},
                                                                 {"enterpriseSpecific", 6}})},
                                      {"specificTrap", integer},
                                      {"timeStamp", integer}});
  attrs.insert(attrs.end(),
               {
                   {"ackState", ack_state},
                   {"ackTime", operator_time},
                   {"ackOperator", graphic},
                   {"ackText", graphic},
                   {"clearState", clear_state},
                   {"clearTime", operator_time},
                   {"clearOperator", graphic},
                   {"clearText", graphic},
                   {"displayState", display_state},
                   {"displayTime", operator_time},
                   {"displayOperator", graphic},
                   {"displayText", graphic},
                   {"mosiSeverity", integer},
                   {"mosiStateID", integer},
                   {"objectInstanceList", a.sequence_of(object_instance, "ObjectInstanceList")},
                   {"snmpVarBindList", var_bind_list},
                   {"internetTrapInfo", trap_info},
                   {"transportDomain", oid},
                   {"accessControlInfo", octets},
               });
  return table;
}

}  // namespace qx
