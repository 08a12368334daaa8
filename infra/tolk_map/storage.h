// Creation storage of the mapper's tables, from the environment: per log and table
// kind, then per table kind, then 16.
#pragma once

#include "platform/mgmt/storage.h"

// The extent `which` ("FIRST" or "NEXT") for the table `table` of the log whose
// identifier text is `log`: QX_LOG_MPA_<LOG><SUFFIX>_<which>_EXTENT, else
// QX_LOG_MPA_DEFAULT<SUFFIX>_<which>_EXTENT, else 16. LOG is the log text and SUFFIX the
// table name's last five characters (the whole name when shorter), both in upper case.
int get_extent(const char* log, const char* table, const char* which);

// Both extents of a table.
void get_storage(const char* log, const char* table, Storage& storage);
