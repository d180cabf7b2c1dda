#include "torqup/listing_maps.h"

#include "support/build_stamp.h"

TORQ_BUILD_STAMP("TorqListMaps")

const MapEntry FunctionMap[3] = {{0, "decompress"}, {1, "compress"}, {-1, nullptr}};
// The matrices of a DC8 member read back as method 9, which is named DC8 as well.
const MapEntry ModeMap[9] = {{0, "CX8"}, {1, "CX7"}, {2, "VR8"}, {3, "ADC"},
                             {8, "DC8"}, {4, "NDC"}, {5, "AES"}, {9, "DC8"}, {-1, nullptr}};
const MapEntry CryptMap[4] = {{0, "none"}, {16, "torq"}, {32, "aes"}, {-1, nullptr}};
const MapEntry TorqCodeMap[3] = {{0, "ebcdic"}, {1, "ascii"}, {-1, nullptr}};
const MapEntry AttribMap[4] = {{0, "none"}, {1, "common"}, {17, "all"}, {-1, nullptr}};
const MapEntry ShowMap[6] = {{0, "none"}, {1, "all"}, {2, "attributes"}, {3, "statistic"}, {4, "error"}, {-1, nullptr}};
const MapEntry TranslateMap[6] = {{0, "none"}, {1, "a/e"}, {2, "e/a"}, {3, "tab1"}, {4, "tab2"}, {-1, nullptr}};
const MapEntry OptionMap[6] = {{4, "add"}, {3, "append"}, {0, "cut"}, {2, "nopath"}, {1, "suppress"}, {-1, nullptr}};
const MapEntry YesNoMap[3] = {{0, "no"}, {1, "yes"}, {-1, nullptr}};
