// torq4 as a whole program beside the zstd -1, lz4 -1 and gzip -6 programs, on the same files in
// the same run: compress and decompress of 64 MB of card images and 64 MB of text lines with
// torq4 modes CX8, ADC and NDC. A program of its own (not part of torq_bench, not a test):
//
//   cmake --build build -j3 --target torq4 torqinit torq4_bench
//   build/bin/torq4_bench [--dir DIR] [--base DIR] [--cpu N] [--runs N] [--inputs cards,text]
//                         [--tmp DIR]
//
//   --dir DIR    the folder of the torq4 to measure (with its torqmsg.dat and torqdef.dat);
//                default $TORQ4_DIR, else the folder of this program
//   --base DIR   a second torq4 folder measured in the same rounds (default $TORQ4_BASE_DIR):
//                gives the "after / before" ratios, e.g. --base /path/to/previous/bin
//   --cpu N      the one processor every run is pinned to (default: the last one allowed);
//                "any" pins nothing (programs with helper threads, such as zstd's, then use
//                more than one processor)
//   --runs N     measured rounds (default 7); one unmeasured round runs first
//   --tmp DIR    where the files go (default /dev/shm, else $TMPDIR or /tmp): in memory, so
//                no run waits for another's data to reach the disk
//
// Pinned, every program runs in one thread, as torq4 does: zstd (1.5.4) otherwise starts a
// compression worker and reading and writing threads (compress) or a writing thread
// (decompress), which would only share the one processor with it; so zstd gets --single-thread
// --no-asyncio to compress and --no-asyncio to decompress (a flag the installed zstd refuses is
// left out). lz4 (1.9.x) and gzip have no helper threads and run as they are. Unpinned
// (--cpu any), zstd runs as it does by default. The command lines are printed first.
//
// Each round runs every program once each way, one after the other on the pinned processor
// (paired runs), and compares every restored file byte for byte with its original (a
// difference stops the benchmark). Printed: per program the median wall time, its speed in MB/s
// of input, the median processor time (user + system), the peak resident size of its runs and
// the packed size; then the target ratios, each the median of the per-round ratios (speed of
// torq4 / speed of the other; processor-time ratios in brackets, less disturbed by other load
// on a shared machine), for the torq4 measured and, with --base, for the one before; then
// every torq4 run over each other program.
//
// Inputs, made at run time by child processes (so this process stays small: a child's peak
// resident size as the system reports it starts from its parent's) in a temporary folder:
//   cards: the lines of every *.h below /usr/include (sorted by path), cut or blank-padded to
//          80 bytes, translated to German EBCDIC (iconv -t CP273), the first 800,000 of them;
//   text:  the same lines as they are, whole lines up to 64,000,000 bytes.
// About 600 MB of room are needed there.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCards = 800'000;
constexpr std::size_t kTextLimit = 64'000'000;

struct Run {
  double wall = 0;  // seconds
  double cpu = 0;   // user + system seconds
  long peakKb = 0;
  int status = -1;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// Runs argv with stdin and stdout on files (empty: /dev/null and this process's stdout).
Run Spawn(const std::vector<std::string>& args, const std::string& in = "", const std::string& out = "") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
  if (!out.empty()) posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> copy(args);
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

// Byte-for-byte comparison through small buffers (this process's own size stays small).
bool SameBytes(const fs::path& a, const fs::path& b) {
  static char x[1 << 16], y[1 << 16];
  FILE* fa = std::fopen(a.c_str(), "rb");
  FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa != nullptr && fb != nullptr;
  while (same) {
    const std::size_t na = std::fread(x, 1, sizeof x, fa), nb = std::fread(y, 1, sizeof y, fb);
    same = na == nb && std::memcmp(x, y, na) == 0;
    if (na == 0) break;
  }
  if (fa != nullptr) std::fclose(fa);
  if (fb != nullptr) std::fclose(fb);
  return same;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "torq4_bench: %s\n", what.c_str());
  std::exit(1);
}

// One program on one input: how it packs and unpacks, where its files go.
struct Job {
  std::string input;    // "cards" or "text"
  std::string name;     // e.g. "torq4 cx8", "before cx8", "zstd -1"
  std::string mode;     // torq4 mode, empty for the other programs
  bool torq4 = false;
  std::vector<std::string> pack, unpack;
  fs::path source, packed, restored;
  std::string packIn, packOut, unpackIn, unpackOut;  // redirections of the other programs
  std::vector<Run> compress, decompress;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> Field(const std::vector<Run>& runs, double Run::*field) {
  std::vector<double> v;
  for (const Run& r : runs) v.push_back(r.*field);
  return v;
}

long Peak(const std::vector<Run>& runs) {
  long peak = 0;
  for (const Run& r : runs) peak = std::max(peak, r.peakKb);
  return peak;
}

// Median over the rounds of other's time / job's time (job's speed / other's speed).
double PairedRatio(const std::vector<Run>& job, const std::vector<Run>& other, double Run::*field) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < job.size() && i < other.size(); ++i) ratios.push_back(other[i].*field / job[i].*field);
  return Median(ratios);
}

void TimedRun(Job& job, bool compress, bool keep) {
  const fs::path& target = compress ? job.packed : job.restored;
  fs::remove_all(target);  // every run writes a new file, as a first run would
  const Run run = compress ? Spawn(job.pack, job.packIn, job.packOut) : Spawn(job.unpack, job.unpackIn, job.unpackOut);
  if (run.status != 0) Fail(job.name + " " + (compress ? "compress" : "decompress") + " of " + job.input + " ended with " + std::to_string(run.status));
  if (!compress) {
    const fs::path file = job.torq4 ? job.restored / job.input : job.restored;
    if (!SameBytes(job.source, file)) Fail(job.name + ": the restored " + job.input + " differs from the original");
    fs::remove_all(job.restored);
  }
  if (keep) (compress ? job.compress : job.decompress).push_back(run);
}

struct Options {
  fs::path dir, base, tmp;
  int cpu = -1;  // -2: not pinned
  int runs = 7;
  std::vector<std::string> inputs{"cards", "text"};
};

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at; (at = s.find(',', from)) != std::string::npos; from = at + 1) parts.push_back(s.substr(from, at - from));
  parts.push_back(s.substr(from));
  return parts;
}

Options Parse(int argc, char** argv) {
  Options o;
  if (const char* d = std::getenv("TORQ4_DIR"); d != nullptr && *d) o.dir = d;
  if (const char* d = std::getenv("TORQ4_BASE_DIR"); d != nullptr && *d) o.base = d;
  if (o.dir.empty()) {
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    o.dir = fs::path(std::string(exe, n > 0 ? static_cast<std::size_t>(n) : 0)).parent_path();
  }
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Fail("usage: torq4_bench [--dir DIR] [--base DIR] [--cpu N] [--runs N] [--inputs cards,text] [--tmp DIR]");
    const std::string v = argv[++i];
    if (a == "--dir") o.dir = v;
    else if (a == "--base") o.base = v;
    else if (a == "--cpu") o.cpu = v == "any" ? -2 : std::max(0, std::atoi(v.c_str()));
    else if (a == "--runs") o.runs = std::max(1, std::atoi(v.c_str()));
    else if (a == "--inputs") o.inputs = Split(v);
    else if (a == "--tmp") o.tmp = v;
    else Fail("unknown option " + a);
  }
  if (o.tmp.empty()) o.tmp = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
  for (const fs::path& d : {o.dir, o.base})
    if (!d.empty() && !fs::exists(d / "torq4")) Fail("no torq4 in " + d.string());
  return o;
}

void Pin(int& cpu) {
  if (cpu == -2) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (cpu < 0) {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) Fail("sched_getaffinity failed");
    for (int c = 0; c < CPU_SETSIZE; ++c)
      if (CPU_ISSET(c, &allowed)) cpu = c;
  }
  CPU_SET(cpu, &set);
  if (sched_setaffinity(0, sizeof set, &set) != 0) Fail("cannot pin to processor " + std::to_string(cpu));
}

// The inputs, written by child processes.
void MakeInputs(const fs::path& dir) {
  const std::string d = dir.string();
  const std::string lines = "find /usr/include -name '*.h' -print0 | sort -z | xargs -0 cat 2>/dev/null";
  const std::string script = "LC_ALL=C; export LC_ALL; " + lines + " | awk -v max=" + std::to_string(kTextLimit) +
                             " '{n += length($0) + 1; if (n > max) exit; print}' > '" + d + "/text' && " + lines +
                             " | head -n " + std::to_string(kCards) +
                             " | awk '{printf \"%-80.80s\", $0}' | iconv -f ISO-8859-1 -t CP273 > '" + d + "/cards'";
  if (Spawn({"sh", "-c", script}).status != 0) Fail("making the inputs failed");
  if (fs::file_size(dir / "cards") != kCards * 80) Fail("too few header lines for the card images");
}

// The flags that keep zstd in one thread, those of them the installed zstd takes.
std::vector<std::string> ZstdSingleThread(const std::vector<std::string>& flags) {
  std::vector<std::string> taken;
  for (const std::string& f : flags)
    if (Spawn({"zstd", "-q", "-c", f}, "/dev/null", "/dev/null").status == 0) taken.push_back(f);
  return taken;
}

std::vector<Job> MakeJobs(const Options& o, const fs::path& dir) {
  std::vector<Job> jobs;
  std::vector<std::string> zstdPack, zstdUnpack;  // pinned: no helper threads
  if (o.cpu != -2) {
    zstdPack = ZstdSingleThread({"--single-thread", "--no-asyncio"});
    zstdUnpack = ZstdSingleThread({"--no-asyncio"});
  }
  for (const std::string& input : o.inputs) {
    if (input != "cards" && input != "text") Fail("unknown input " + input);
    const fs::path source = dir / input;
    std::vector<std::pair<std::string, fs::path>> torqs{{"torq4", o.dir}};
    if (!o.base.empty()) torqs.push_back({"before", o.base});
    for (const std::string mode : {"cx8", "adc", "ndc"})
      for (const auto& [who, folder] : torqs) {
        Job j;
        j.input = input;
        j.name = who + " " + mode;
        j.mode = mode;
        j.torq4 = true;
        j.source = source;
        j.packed = dir / (input + "." + who + "." + mode + ".tq");
        j.restored = dir / ("out." + who + "." + mode + "." + input);
        const std::string exe = (folder / "torq4").string();
        j.pack = {exe, "compress", "torqin=" + source.string(), "torqfile=" + j.packed.string(), "mode=" + mode, "show=none"};
        if (input == "cards")
          for (const char* a : {"torqcode=ebcdic", "informat=fix", "inrecsize=80"}) j.pack.push_back(a);
        j.unpack = {exe, "decompress", "torqfile=" + j.packed.string(), "torqout=[]", "opath=" + j.restored.string(), "show=none"};
        jobs.push_back(std::move(j));
      }
    for (const auto& [tool, level] : std::vector<std::pair<std::string, std::string>>{{"zstd", "-1"}, {"lz4", "-1"}, {"gzip", "-6"}}) {
      Job j;
      j.input = input;
      j.name = tool + " " + level;
      j.source = source;
      j.packed = dir / (input + "." + tool);
      j.restored = dir / ("out." + tool + "." + input);
      j.pack = {tool, level, "-c"};
      j.unpack = {tool, "-d", "-c"};
      if (tool == "zstd") {
        j.pack.insert(j.pack.end(), zstdPack.begin(), zstdPack.end());
        j.unpack.insert(j.unpack.end(), zstdUnpack.begin(), zstdUnpack.end());
      }
      j.packIn = source.string();
      j.packOut = j.packed.string();
      j.unpackIn = j.packed.string();
      j.unpackOut = j.restored.string();
      jobs.push_back(std::move(j));
    }
  }
  return jobs;
}

const Job* Find(const std::vector<Job>& jobs, const std::string& input, const std::string& name) {
  for (const Job& j : jobs)
    if (j.input == input && j.name == name) return &j;
  return nullptr;
}

void PrintTable(const std::vector<Job>& jobs) {
  std::printf("\n%-6s %-11s %-10s %9s %8s %9s %8s %8s\n", "input", "program", "way", "wall ms", "MB/s", "cpu ms", "peak MB", "size %");
  for (const Job& j : jobs)
    for (const bool compress : {true, false}) {
      const auto& runs = compress ? j.compress : j.decompress;
      const double wall = Median(Field(runs, &Run::wall));
      const double size = static_cast<double>(fs::file_size(j.source));
      std::printf("%-6s %-11s %-10s %9.1f %8.1f %9.1f %8.1f %8.2f\n", j.input.c_str(), j.name.c_str(),
                  compress ? "compress" : "decompress", wall * 1e3, size / 1e6 / wall, Median(Field(runs, &Run::cpu)) * 1e3,
                  static_cast<double>(Peak(runs)) / 1024.0, 100.0 * static_cast<double>(fs::file_size(j.packed)) / size);
    }
}

// Speed of a over speed of b, paired, as "wall (processor)"; "-" when either did not run.
std::string Ratio(const std::vector<Job>& jobs, const std::string& input, const std::string& a, const std::string& b,
                  bool compress) {
  const Job* x = Find(jobs, input, a);
  const Job* y = Find(jobs, input, b);
  if (x == nullptr || y == nullptr) return "-";
  const auto& rx = compress ? x->compress : x->decompress;
  const auto& ry = compress ? y->compress : y->decompress;
  char text[40];
  std::snprintf(text, sizeof text, "%.2f (%.2f)", PairedRatio(rx, ry, &Run::wall), PairedRatio(rx, ry, &Run::cpu));
  return text;
}

void PrintTargets(const std::vector<Job>& jobs) {
  struct Row {
    const char* label;
    const char* input;
    const char* mode;
    const char* other;  // empty: the same mode of the torq4 before
    bool compress;
    const char* target;
  };
  static constexpr Row kRows[] = {
      {"CX8 decompress / zstd -1 decompress", "cards", "cx8", "zstd -1", false, "1.5"},
      {"CX8 compress / zstd -1 compress", "cards", "cx8", "zstd -1", true, "2.0"},
      {"CX8 decompress / zstd -1, text lines", "text", "cx8", "zstd -1", false, "1.0"},
      {"NDC compress / before's NDC", "cards", "ndc", "", true, "1.5"},
      {"NDC decompress / before's NDC", "cards", "ndc", "", false, "1.5"},
      {"ADC compress / zstd -1 compress", "cards", "adc", "zstd -1", true, "0.5"},
      {"ADC decompress / zstd -1 decompress", "cards", "adc", "zstd -1", false, "0.7"},
  };
  std::printf("\nspeed ratios: median of the per-round ratios of wall time (of processor time)\n");
  std::printf("%-40s %-14s %-14s %s\n", "", "torq4", "before", "target");
  for (const Row& r : kRows) {
    const std::string mode = r.mode;
    const std::string other = *r.other ? r.other : "before " + mode;
    const std::string before = *r.other ? Ratio(jobs, r.input, "before " + mode, other, r.compress) : "-";
    std::printf("%-40s %-14s %-14s %s\n", r.label, Ratio(jobs, r.input, "torq4 " + mode, other, r.compress).c_str(),
                before.c_str(), r.target);
  }
  for (const char* who : {"torq4", "before"}) {
    long peak = -1;
    for (const Job& j : jobs)
      if (j.torq4 && j.name.rfind(who, 0) == 0) peak = std::max({peak, Peak(j.compress), Peak(j.decompress)});
    if (peak >= 0)
      std::printf("%-40s %.1f MB (%s)  target at most 16 MB\n", "peak resident size of any torq4 run",
                  static_cast<double>(peak) / 1024.0, who);
  }
}

void PrintOtherRatios(const std::vector<Job>& jobs, const std::vector<std::string>& inputs) {
  const std::vector<std::string> others{"zstd -1", "lz4 -1", "gzip -6"};
  std::printf("\nspeed of each torq4 over the others' (wall (processor))\n%-6s %-11s %-10s", "input", "program", "way");
  for (const std::string& o : others) std::printf(" %-14s", ("/ " + o).c_str());
  std::printf(" %s\n", "/ before");
  for (const std::string& input : inputs)
    for (const Job& j : jobs)
      if (j.input == input && j.torq4)
        for (const bool compress : {true, false}) {
          std::printf("%-6s %-11s %-10s", input.c_str(), j.name.c_str(), compress ? "compress" : "decompress");
          for (const std::string& o : others) std::printf(" %-14s", Ratio(jobs, input, j.name, o, compress).c_str());
          const bool after = j.name.rfind("torq4 ", 0) == 0;
          std::printf(" %s\n", after ? Ratio(jobs, input, j.name, "before " + j.mode, compress).c_str() : "");
        }
}

}  // namespace

int main(int argc, char** argv) {
  Options o = Parse(argc, argv);
  Pin(o.cpu);
  const fs::path dir = o.tmp / ("torq4-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  struct Cleanup {
    fs::path d;
    ~Cleanup() { fs::remove_all(d); }
  } cleanup{dir};
  MakeInputs(dir);
  std::vector<Job> jobs = MakeJobs(o, dir);

  const Run floor = Spawn({"true"});
  const std::string pinned = o.cpu >= 0 ? "pinned to processor " + std::to_string(o.cpu) : "not pinned";
  std::printf("torq4_bench: torq4 from %s%s%s; %s; %d paired rounds after one unmeasured; files in %s\n", o.dir.c_str(),
              o.base.empty() ? "" : ", before from ", o.base.c_str(), pinned.c_str(), o.runs, dir.c_str());
  for (const std::string& input : o.inputs)
    std::printf("  %s: %ju bytes\n", input.c_str(), static_cast<std::uintmax_t>(fs::file_size(dir / input)));
  std::printf("  peak size of a run of 'true' from here: %.1f MB (the floor of every peak below)\n",
              static_cast<double>(floor.peakKb) / 1024.0);
  const auto join = [](const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "" : " ") + a;
    return line;
  };
  for (const Job& j : jobs)
    if (!j.torq4 && j.input == o.inputs.front())
      std::printf("  %s: %s; %s\n", j.name.c_str(), join(j.pack).c_str(), join(j.unpack).c_str());
  std::fflush(stdout);

  for (int round = 0; round <= o.runs; ++round) {
    for (Job& j : jobs) {
      TimedRun(j, true, round > 0);
      TimedRun(j, false, round > 0);
    }
    std::fprintf(stderr, "round %d of %d done\n", round, o.runs);
  }

  PrintTable(jobs);
  PrintTargets(jobs);
  PrintOtherRatios(jobs, o.inputs);
  return 0;
}
