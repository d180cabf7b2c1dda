// torq4 end to end beside gzip -6, zstd -1, zstd -3 and lz4 -1 on the same files in the same
// run: wall time of each command (MB/s of the input size), the size ratio, the peak resident
// size of the child (wait4), and the restored files compared with the originals.
//
// Corpus, built at run time in a temporary folder:
//   cards: the lines of every *.h below /usr/include (sorted by path), cut or blank-padded to
//          80 bytes and translated to German EBCDIC (iconv -t CP273), at most 74 MB;
//   cards4: four copies of cards one after another (peak size against input size);
//   text: the first 32 MiB of those lines as they are.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCardsLimit = 74'000'000;
constexpr std::size_t kTextLimit = 32u << 20;

struct Child {
  double seconds = 0;
  long peakKb = 0;
  int status = -1;
};

// Runs argv with stdin/stdout redirected to files (empty: /dev/null and inherited).
Child Spawn(const std::vector<std::string>& args, const std::string& in = "", const std::string& out = "") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
  if (!out.empty()) posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> copy(args);
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child child;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child.peakKb = usage.ru_maxrss;
  }
  child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

struct Corpus {
  fs::path dir;
  fs::path torq4;
  std::map<std::string, std::uintmax_t> sizes;

  // Built by child processes, so this process stays small and the peak sizes the children
  // report (which start from their parent's peak) are their own.
  Corpus() {
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    torq4 = fs::path(std::string(exe, n > 0 ? static_cast<std::size_t>(n) : 0)).parent_path() / "torq4";
    dir = fs::temp_directory_path() / ("torq4-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string d = dir.string();
    const std::string lines = "find /usr/include -name '*.h' -print0 | LC_ALL=C sort -z | xargs -0 cat";
    const std::string script =
        lines + " | awk -v max=" + std::to_string(kTextLimit) +
        " '{n += length($0) + 1; if (n > max) exit; print}' > '" + d + "/text' && " + lines +
        " | awk '{printf \"%-80.80s\", $0}' | head -c " + std::to_string(kCardsLimit) +
        " | iconv -f ISO-8859-1 -t CP273 > '" + d + "/cards' && cat '" + d + "/cards' '" + d + "/cards' '" + d +
        "/cards' '" + d + "/cards' > '" + d + "/cards4'";
    Spawn({"sh", "-c", "LC_ALL=C; export LC_ALL; " + script});
    for (const char* name : {"cards", "cards4", "text"}) sizes[name] = fs::file_size(dir / name);
  }
  ~Corpus() { fs::remove_all(dir); }
};

Corpus& TheCorpus() {
  static Corpus corpus;
  return corpus;
}

void Report(benchmark::State& state, const Corpus& c, const std::string& input, const fs::path& packed, long peakKb) {
  const double size = static_cast<double>(c.sizes.at(input));
  state.counters["MB/s"] = benchmark::Counter(size / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ratio"] = static_cast<double>(fs::file_size(packed)) / size;
  state.counters["peakMB"] = static_cast<double>(peakKb) / 1024.0;
}

void Check(benchmark::State& state, const fs::path& a, const fs::path& b) {
  if (Spawn({"cmp", "-s", a.string(), b.string()}).status != 0) {
    state.SkipWithError(("restored file differs: " + b.string()).c_str());
  }
}

// torq4: compress (record arguments per corpus), then decompress under "[]".
std::vector<std::string> TorqArgs(const std::string& input) {
  if (input == "text") return {"mode=cx8", "show=none"};
  return {"mode=cx8", "torqcode=ebcdic", "informat=fix", "inrecsize=80", "show=none"};
}

void BM_Torq4(benchmark::State& state, const std::string& input, bool compress) {
  Corpus& c = TheCorpus();
  const fs::path source = c.dir / input, packed = c.dir / (input + ".tq"), out = c.dir / ("out-" + input);
  std::vector<std::string> pack{c.torq4.string(), "compress", "torqin=" + source.string(), "torqfile=" + packed.string()};
  for (const std::string& a : TorqArgs(input)) pack.push_back(a);
  const std::vector<std::string> unpack{c.torq4.string(), "decompress", "torqfile=" + packed.string(), "torqout=[]",
                                        "opath=" + out.string(), "show=none"};
  if (!compress && Spawn(pack).status != 0) state.SkipWithError("torq4 compress failed");
  long peak = 0;
  for (auto _ : state) {
    if (!compress) fs::remove_all(out);
    const Child child = Spawn(compress ? pack : unpack);
    if (child.status != 0) state.SkipWithError("torq4 failed");
    state.SetIterationTime(child.seconds);
    peak = std::max(peak, child.peakKb);
  }
  if (compress) {
    fs::remove_all(out);
    Spawn(unpack);
  }
  Check(state, source, out / input);
  Report(state, c, input, packed, peak);
}

void BM_Tool(benchmark::State& state, const std::string& input, const std::string& tool, const std::string& level,
             bool compress) {
  Corpus& c = TheCorpus();
  const fs::path source = c.dir / input, packed = c.dir / (input + "." + tool + level), back = c.dir / (input + ".back");
  const std::vector<std::string> pack{tool, level, "-c"}, unpack{tool, "-d", "-c"};
  if (!compress) Spawn(pack, source.string(), packed.string());
  long peak = 0;
  for (auto _ : state) {
    const Child child = compress ? Spawn(pack, source.string(), packed.string()) : Spawn(unpack, packed.string(), back.string());
    if (child.status != 0) state.SkipWithError((tool + " failed").c_str());
    state.SetIterationTime(child.seconds);
    peak = std::max(peak, child.peakKb);
  }
  if (compress) Spawn(unpack, packed.string(), back.string());
  Check(state, source, back);
  Report(state, c, input, packed, peak);
}

void Configure(benchmark::internal::Benchmark* b) {
  b->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
}

void Register() {
  for (const std::string input : {"cards", "text"}) {
    for (const bool compress : {true, false}) {
      const std::string way = compress ? "compress" : "decompress";
      Configure(benchmark::RegisterBenchmark(("torq4_cx8/" + input + "/" + way).c_str(),
                                             [=](benchmark::State& s) { BM_Torq4(s, input, compress); }));
      const std::vector<std::pair<std::string, std::string>> tools =
          input == "cards" ? std::vector<std::pair<std::string, std::string>>{{"gzip", "-6"}, {"zstd", "-1"}, {"lz4", "-1"}}
                           : std::vector<std::pair<std::string, std::string>>{{"gzip", "-6"}, {"zstd", "-3"}};
      for (const auto& [tool, level] : tools) {
        Configure(benchmark::RegisterBenchmark((tool + level + "/" + input + "/" + way).c_str(),
                                               [=](benchmark::State& s) { BM_Tool(s, input, tool, level, compress); }));
      }
    }
  }
  Configure(benchmark::RegisterBenchmark("torq4_cx8/cards4/compress", [](benchmark::State& s) { BM_Torq4(s, "cards4", true); }));
  Configure(
      benchmark::RegisterBenchmark("torq4_cx8/cards4/decompress", [](benchmark::State& s) { BM_Torq4(s, "cards4", false); }));
}

const bool kRegistered = [] {
  Register();
  return true;
}();

}  // namespace
