// The RFC 6350 names the editor knows: property and parameter kinds, component
// labels, predefined values and the rule for names the user types.
#pragma once

#include <stddef.h>

typedef int PropertyKind;
typedef int ParameterKind;

enum : PropertyKind {
    PropertyKindSource = 0,
    PropertyKindKind = 1,
    PropertyKindFn = 2,
    PropertyKindN = 3,
    PropertyKindAdr = 9,
    PropertyKindTel = 10,
    PropertyKindRelated = 21,
    PropertyKindVersion = 30,
    PropertyKindOther = 35,
};

enum : ParameterKind {
    ParameterKindValue = 1,
    ParameterKindType = 5,
    ParameterKindOther = 11,
    ParameterKindUnset = 12,
};

// Entries searched by name: kinds 0..35 and 0..10.
const int PROPERTY_NAME_COUNT = 36;
const int PARAMETER_NAME_COUNT = 11;
// The standard properties that the Add dialog offers: kinds 0..34.
const int STANDARD_PROPERTY_COUNT = 35;

extern const char DEFAULT_VERSION[];

const char* GetPropertyName(PropertyKind kind);
PropertyKind FindPropertyKind(const char* name);
int GetComponentCount(PropertyKind kind);
const char* GetComponentName(PropertyKind kind, int index);

const char* GetParameterName(ParameterKind kind);
ParameterKind FindParameterKind(const char* name);

int GetPredefinedParameterValueCount(PropertyKind property, ParameterKind parameter);
const char* GetPredefinedParameterValue(PropertyKind property, ParameterKind parameter, int index);
int GetPredefinedPropertyValueCount(PropertyKind kind);
const char* GetPredefinedPropertyValue(PropertyKind kind, int index);

// Whether name is a name a card may hold: not empty, and every byte an ASCII letter,
// digit, '-' or '_'.
bool IsValidName(const char* name);
