// The printf conversions of a message text. Catalogue texts come from a file and are used as
// formats, so a loaded text must take exactly the arguments of the built-in row.
#pragma once
#include <cstddef>
#include <span>

// Writes one code per argument the text consumes into `types` ('*' for a width or precision
// taken from the arguments; a conversion is its length modifier letters followed by its
// conversion letter, d and i both as 'd'), separated by ','. Flags, field widths and
// precisions given as digits do not count. Returns the number of codes, or -1 when the text
// holds a conversion that is incomplete, unknown, positional or %n, a width or precision of
// more than 3 digits, or when the codes do not fit.
int MsgConversionTypes(const char* text, std::span<char> types);

// True when both texts are valid formats taking the same argument types in the same order.
bool SameConversionTypes(const char* a, const char* b);
