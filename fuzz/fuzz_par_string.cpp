// Any parameter string splits into launcher arguments that, joined with ',', give the string
// again (up to its first NUL), and the display line is built without harm.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "launchers/torqupex/argument_vector.h"
#include "support/heap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t before = rmGetHeapCount();
  {
    const auto* text = reinterpret_cast<const char*>(data);
    TArgv argv(32);
    if (!argv.AddParString(text, size, nullptr)) __builtin_trap();
    std::string joined;
    for (std::int32_t i = 1; i < argv.Count(); ++i) joined += (i > 1 ? "," : "") + std::string(argv[i]);
    if (joined != std::string(text, strnlen(text, size))) __builtin_trap();
    if (argv.Items()[argv.Count()] != nullptr) __builtin_trap();
    (void)argv.GetCmdLine();
  }
  if (rmGetHeapCount() != before) __builtin_trap();
  return 0;
}
