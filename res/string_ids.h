/* Names of the string table's entries, from the one list in string_table.h. */
#pragma once

enum StringId {
#define STRING_ENTRY(id, name, text) name = id,
#include "res/string_table.h"
#undef STRING_ENTRY
};
