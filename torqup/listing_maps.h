// Value maps of the run listings: {value, name} rows ended by the value -1.
#pragma once
#include "support/message_catalog.h"

extern const MapEntry FunctionMap[3];
extern const MapEntry ModeMap[9];
extern const MapEntry CryptMap[4];
extern const MapEntry TorqCodeMap[3];
extern const MapEntry AttribMap[4];
extern const MapEntry ShowMap[6];
extern const MapEntry TranslateMap[6];
extern const MapEntry OptionMap[6];
extern const MapEntry YesNoMap[3];
