// Placeholder: the kernel context lands with the CX8 and CX7 methods.
#include "nuc/kernel.h"
