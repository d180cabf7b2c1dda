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
//   --cpu N      the one processor every run is pinned to (default: the last one allowed)
//   --runs N     measured rounds (default 7); one unmeasured round runs first
//   --tmp DIR    where the files go (default /dev/shm, else $TMPDIR or /tmp): in memory, so
//                no run waits for another's data to reach the disk
//
// Each round runs every program once each way, one after the other on the pinned processor
// (paired runs), and compares every restored file byte for byte with its original (a
// difference stops the benchmark). Printed: per program the median wall time, its speed in MB/s
// of input, the median processor time (user + system), the peak resident size of its runs and
// the packed size; then the target ratios, each the median of the per-round ratios
// (speed of torq4 / speed of the other; processor-time ratios in brackets, less disturbed by
// other load on a shared machine).
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
  int cpu = -1;
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
    else if (a == "--cpu") o.cpu = std::atoi(v.c_str());
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

std::vector<Job> MakeJobs(const Options& o, const fs::path& dir) {
  std::vector<Job> jobs;
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

void PrintRatio(const std::vector<Job>& jobs, const std::string& label, const std::string& input, const std::string& name,
                const std::string& other, bool compress, const char* target) {
  const Job* a = Find(jobs, input, name);
  const Job* b = Find(jobs, input, other);
  if (a == nullptr || b == nullptr) {
    std::printf("%-48s %6s %8s   target %s\n", label.c_str(), "-", "", target);
    return;
  }
  const auto& x = compress ? a->compress : a->decompress;
  const auto& y = compress ? b->compress : b->decompress;
  std::printf("%-48s %6.2f (%5.2f)  target %s\n", label.c_str(), PairedRatio(x, y, &Run::wall), PairedRatio(x, y, &Run::cpu), target);
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
  std::printf("torq4_bench: torq4 from %s%s%s; pinned to processor %d; %d paired rounds after one unmeasured; files in %s\n",
              o.dir.c_str(), o.base.empty() ? "" : ", before from ", o.base.c_str(), o.cpu, o.runs, dir.c_str());
  for (const std::string& input : o.inputs)
    std::printf("  %s: %ju bytes\n", input.c_str(), static_cast<std::uintmax_t>(fs::file_size(dir / input)));
  std::printf("  peak size of a run of 'true' from here: %.1f MB (the floor of every peak below)\n",
              static_cast<double>(floor.peakKb) / 1024.0);
  std::fflush(stdout);

  for (int round = 0; round <= o.runs; ++round) {
    for (Job& j : jobs) {
      TimedRun(j, true, round > 0);
      TimedRun(j, false, round > 0);
    }
    std::fprintf(stderr, "round %d of %d done\n", round, o.runs);
  }

  PrintTable(jobs);
  std::printf("\nspeed ratios (median of the per-round ratios of wall time; of processor time in brackets)\n");
  PrintRatio(jobs, "CX8 decompress / zstd -1 decompress", "cards", "torq4 cx8", "zstd -1", false, "1.5");
  PrintRatio(jobs, "CX8 compress / zstd -1 compress", "cards", "torq4 cx8", "zstd -1", true, "2.0");
  PrintRatio(jobs, "CX8 decompress / zstd -1, text lines", "text", "torq4 cx8", "zstd -1", false, "1.0");
  PrintRatio(jobs, "NDC compress / before's NDC compress", "cards", "torq4 ndc", "before ndc", true, "1.5");
  PrintRatio(jobs, "NDC decompress / before's NDC decompress", "cards", "torq4 ndc", "before ndc", false, "1.5");
  PrintRatio(jobs, "ADC compress / zstd -1 compress", "cards", "torq4 adc", "zstd -1", true, "0.5");
  PrintRatio(jobs, "ADC decompress / zstd -1 decompress", "cards", "torq4 adc", "zstd -1", false, "0.7");
  long peak = 0;
  for (const Job& j : jobs)
    if (j.torq4 && j.name.rfind("torq4", 0) == 0) peak = std::max({peak, Peak(j.compress), Peak(j.decompress)});
  std::printf("%-48s %6.1f MB      target at most 16 MB\n", "peak resident memory of any torq4 run", static_cast<double>(peak) / 1024.0);

  std::printf("\nother ratios\n");
  for (const std::string& input : o.inputs)
    for (const std::string mode : {"cx8", "adc", "ndc"})
      for (const bool compress : {true, false}) {
        const std::string way = compress ? "compress" : "decompress";
        for (const std::string& other : std::vector<std::string>{"zstd -1", "lz4 -1", "gzip -6", "before " + mode})
          PrintRatio(jobs, input + " " + mode + " " + way + " / " + other, input, "torq4 " + mode, other, compress, "-");
      }
  return 0;
}
