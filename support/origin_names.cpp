#include "support/origin_names.h"

#include "support/build_stamp.h"

#include <cstdio>

TORQ_BUILD_STAMP("TorqOrigin")

const MapEntry BsHerstellerMap[] = {
    {0x0000, "unknown"},
    {0x8000, "MS-DOS"},
    {0xC000, "OS/2"},
    {0xD000, "WINDOWS 3.x"},
    {0xE000, "WINDOWS 9x/NT/200x/XP"},
    {0x0101, "IBM OS-MVS"},
    {0x0201, "IBM VSE/ESA"},
    {0x0301, "IBM VM"},
    {0x0401, "IBM DPPX/8100"},
    {0x0501, "IBM DPPX/370"},
    {0x0601, "IBM AIX"},
    {0x0701, "IBM OS/400"},
    {0x0102, "UNISYS OS1100"},
    {0x0103, "DEC VMS"},
    {0x0203, "DEC ULTRIX"},
    {0x0303, "DEC OSF/1"},
    {0x0403, "DEC UNIX"},
    {0x0104, "SIEMENS BS2000"},
    {0x0204, "SIEMENS SINIX"},
    {0x0304, "SIEMENS SYSTEM V"},
    {0x0105, "NIXDORF 886X"},
    {0x0205, "NIXDORF TARGON"},
    {0x0106, "WANG XENIX"},
    {0x0206, "WANG SYSTEM V"},
    {0x0306, "WANG OSF"},
    {0x0406, "WANG UNIX"},
    {0x0107, "PHILIPS XENIX"},
    {0x0207, "PHILIPS SYSTEM V"},
    {0x0307, "PHILIPS OSF"},
    {0x0407, "PHILIPS UNIX"},
    {0x0108, "OLIVETTI XENIX"},
    {0x0208, "OLIVETTI SYSTEM V"},
    {0x0308, "OLIVETTI OSF"},
    {0x0408, "OLIVETTI UNIX"},
    {0x0109, "TANDEM GUARDIAN"},
    {0x0209, "TANDEM UNIX"},
    {0x010A, "PRIME XENIX"},
    {0x020A, "PRIME SYSTEM V"},
    {0x030A, "PRIME OSF"},
    {0x040A, "PRIME UNIX"},
    {0x010B, "STRATUS VOS"},
    {0x020B, "STRATUS FTX"},
    {0x010C, "Hewlett Packard HP-UX"},
    {0x020C, "Hewlett Packard MPE"},
    {0x010D, "BULL GCOS6"},
    {0x020D, "BULL GCOS7"},
    {0x030D, "BULL AIX"},
    {0x040D, "BULL B.O.S."},
    {0x020E, "APPLE A-UX"},
    {0x010F, "SUN OS"},
    {0x020F, "SUN SOLARIS"},
    {0x0111, "INTEL 80286 XENIX"},
    {0x0211, "INTEL 80286 SYSTEM V"},
    {0x0311, "INTEL 80286 OSF"},
    {0x0411, "INTEL 80286 UNIX"},
    {0x0112, "INTEL 80386 XENIX"},
    {0x0212, "INTEL 80386 SYSTEM V"},
    {0x0312, "INTEL 80386 OSF"},
    {0x0412, "INTEL 80386 UNIX"},
    {0x0113, "INTEL 80486 XENIX"},
    {0x0213, "INTEL 80486 SYSTEM V"},
    {0x0313, "INTEL 80486 OSF"},
    {0x0413, "INTEL 80486 UNIX"},
    {0x0114, "INTEL Pentium XENIX"},
    {0x0214, "INTEL Pentium SYSTEM V"},
    {0x0314, "INTEL Pentium OSF"},
    {0x0414, "INTEL Pentium UNIX"},
    {0x0115, "MOTOROLA 68000 XENIX"},
    {0x0215, "MOTOROLA 68000 SYSTEM V"},
    {0x0315, "MOTOROLA 68000 OSF"},
    {0x0415, "MOTOROLA 68000 UNIX"},
    {0x0116, "MOTOROLA 88000 XENIX"},
    {0x0216, "MOTOROLA 88000 SYSTEM V"},
    {0x0316, "MOTOROLA 88000 OSF"},
    {0x0416, "MOTOROLA 88000 UNIX"},
    {0x0121, "ICL VME"},
    {0x0221, "ICL UNIX (SPARC)"},
    {0x1031, "SEQUENT DYNIX/ptx"},
    {-1, nullptr},
};

const MapEntry HerstellerMap[] = {
    {0x00, "unknown"},        {0x01, "IBM"},           {0x02, "UNISYS"},
    {0x03, "DEC"},            {0x04, "Siemens"},       {0x05, "NIXDORF"},
    {0x06, "WANG"},           {0x07, "PHILIPS"},       {0x08, "OLIVETTI"},
    {0x09, "TANDEM"},         {0x0A, "PRIME"},         {0x0B, "STRATUS"},
    {0x0C, "Hewlett Packard"}, {0x0D, "BULL"},         {0x0E, "Apple"},
    {0x0F, "SUN"},            {0x10, "10"},            {0x11, "INTEL 286"},
    {0x12, "INTEL 386"},      {0x13, "INTEL 486"},     {0x15, "INTEL Pentium"},
    {0x16, "MOTOROLA 68000"}, {0x21, "ICL"},           {0x31, "SYQUENT"},
    {-1, nullptr},
};

namespace {
// Linear scan up to the first negative key; the first equal key wins.
const char* Lookup(const MapEntry* map, std::int32_t key) {
  for (; map->key >= 0; ++map)
    if (map->key == key) return map->text;
  return nullptr;
}
}  // namespace

const char* GetHersteller(std::uint32_t originCode) {
  if (const char* name = Lookup(HerstellerMap, static_cast<std::int32_t>(originCode & 0xFF)))
    return name;
  static char unknown[12];
  std::snprintf(unknown, sizeof unknown, "%04x", originCode);
  return unknown;
}

const char* GetBetriebsSystem(const std::uint8_t* originPair) {
  const std::uint32_t code = static_cast<std::uint32_t>(originPair[1]) << 8 | originPair[0];
  if (const char* name = Lookup(BsHerstellerMap, static_cast<std::int32_t>(code))) return name;
  return GetHersteller(code);
}
