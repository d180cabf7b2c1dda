#include "launchers/torqcmd/launcher.h"

#include <signal.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/environment.h"
#include "support/format.h"
#include "support/last_error.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "support/platform/file_io.h"
#include "support/registration.h"
#include "support/sysinfo.h"

TFileName FileName;
bool NoWait = false, Detached = false, NewCon = false, NoPaused = false, DoStat = false;
std::int32_t SysError = 0;
int hOut = STDOUT_FILENO;
std::uint32_t dwTypeOut = 0;

namespace {

constexpr std::uint16_t kGerman = 1031;

bool German() { return F_GetUserLaguageID() == kGerman; }

struct Switch {
  const char* name;
  bool* flag;
};
const Switch kSwitches[] = {
    {"/newcon", &NewCon}, {"/nowait", &NoWait}, {"/nocon", &Detached}, {"/nopause", &NoPaused}, {"/stat", &DoStat},
};

// The result line of a run that did not succeed, or of a system error met on the way.
void PrintFailure(std::int32_t& result) {
  if (SysError != 0) {
    std::printf("*SYSERROR* %d (%#x)\n", SysError, static_cast<unsigned>(SysError));
    result = SysError;
  } else {
    std::printf("*ERROR* %d (%#x)\n", result & 0x0FFFFFFF, static_cast<unsigned>(result));
  }
}

// Ignores SIGINT and SIGQUIT while the child runs, as system(3) does: they are the child's.
class IgnoreInterrupts {
 public:
  IgnoreInterrupts() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &oldInt_);
    sigaction(SIGQUIT, &ignore, &oldQuit_);
  }
  ~IgnoreInterrupts() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGQUIT, &oldQuit_, nullptr);
  }
  IgnoreInterrupts(const IgnoreInterrupts&) = delete;
  IgnoreInterrupts& operator=(const IgnoreInterrupts&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldQuit_ {};
};

constexpr const char* kDaysEn[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kDaysDe[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
constexpr const char* kMonthsEn[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthsDe[] = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

// "Thursday, 10. Dec 2026 14:05:09" in the user's language.
void PrintTime(const char* label, const std::timespec& when) {
  std::tm local{};
  const std::time_t seconds = when.tv_sec;
  localtime_r(&seconds, &local);
  const bool german = German();
  std::printf("%s%s, %02d. %s %04d", label, (german ? kDaysDe : kDaysEn)[local.tm_wday], local.tm_mday,
              (german ? kMonthsDe : kMonthsEn)[local.tm_mon], local.tm_year + 1900);
  std::printf(" %02d:%02d:%02d\n", local.tm_hour, local.tm_min, local.tm_sec);
}

std::uint64_t Milliseconds(const timeval& t) {
  return static_cast<std::uint64_t>(t.tv_sec) * 1000 + static_cast<std::uint64_t>(t.tv_usec) / 1000;
}

void PrintCount(const char* format, std::uint64_t value) {
  char number[kFormatNumberSize];
  std::printf(format, FormatInt64(value, number));
}

// Where torq4 is: "torq4", else "torq", both beside torqcmd only (never in the current
// folder, where another user may have planted one); false when neither is there.
bool LocateProgram() {
  TFileName folder(gTorqExe, 0, 0);
  const char* slash = std::strrchr(folder.c_str(), '/');
  folder.SetLength(slash ? static_cast<std::int32_t>(slash - folder.c_str()) + 1 : 0);
  if (folder.Length() == 0 || folder.c_str()[0] != '/') return false;
  for (const char* name : {"torq4", "torq"}) {
    TFileName beside(folder);
    beside.Cat(name);
    if (beside.Fits() && F_FileExists(beside.c_str())) {
      FileName = beside;
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint16_t F_GetUserLaguageID() { return GetUserLaguageID(); }

int IsSwitch(const char* text) {
  if (!text || text[0] != '/') return 0;
  for (const Switch& s : kSwitches)
    if (strcasecmp(text, s.name) == 0) return 1;
  return 0;
}

void GetSwitches(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!a || a[0] == '\0' || a[0] == '!') break;
    if (a[0] != '/') continue;
    for (const Switch& s : kSwitches)
      if (strcasecmp(a, s.name) == 0) *s.flag = true;
  }
}

std::vector<const char*> MakeCmdLine(int argc, char** argv) {
  std::vector<const char*> args{FileName.c_str()};
  if (argc > 1 && argv[1] && argv[1][0] != '\0') {
    for (int i = 1; i < argc; ++i) {
      const char* a = argv[i] ? argv[i] : "";
      if (a[0] == '!') break;
      if (IsSwitch(a)) continue;
      args.push_back(a);
    }
  }
  args.push_back(nullptr);
  return args;
}

void WaitForKey() {
  std::fputs("...", stdout);
  std::fflush(stdout);
  if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) return;
  termios saved{};
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
    char key;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  }
  std::fputs("\n", stdout);
}

std::int32_t Run(int argc, char** argv) {
  if (NewCon) return RunPaused(argc, argv);
  const std::vector<const char*> args = MakeCmdLine(argc, argv);
  torq::platform::SpawnRequest request;
  request.path = FileName.c_str();
  request.argv = args.data();
  request.idlePriority = true;
  request.returnCodePipe = true;
  if (Detached) {
    request.newSession = true;
    for (auto& stream : request.streams) stream.kind = torq::platform::ChildStream::kNull;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  torq::platform::ChildProcess child;
  IgnoreInterrupts ignore;
  if (const int error = torq::platform::SpawnProcess(request, child)) {
    // The result is -1, never the bare error number, which could be read as one of torq4's own
    // codes; the line names the error.
    SysError = error;
    std::printf("*SYSERROR* %d (%#x) %s\n", SysError, static_cast<unsigned>(SysError), std::strerror(error));
    return -1;
  }
  if (NoWait) {
    torq::platform::ReleaseChild(child);
    return 0;
  }
  torq::platform::ChildEnd end;
  torq::platform::WaitForChild(child, end, DoStat);
  std::int32_t result = end.result;
  if (end.signal == SIGINT || end.signal == SIGHUP) {
    std::fputs("*Process Console aborted: ", stdout);
  } else if (end.signal != 0) {
    std::fputs("*Process aborted: ", stdout);
  }
  if (result != 0) {
    PrintFailure(result);
  } else {
    std::puts(German() ? "*ERFOLG*" : "*SUCCESS*");
  }
  if (DoStat) ShowProcessTimes(child, end);
  if (!NoPaused && dwTypeOut == torq::platform::kFileTypeChar) WaitForKey();
  return result;
}

void ShowProcessTimes(const torq::platform::ChildProcess& child, const torq::platform::ChildEnd& end) {
  const bool german = German();
  PrintTime(german ? "Gestartet: " : "Started: ", child.started);
  PrintTime(german ? "Beendet  : " : "Ended  : ", end.ended);
  PrintCount("RunTime     ms :%23s\n", static_cast<std::uint64_t>(end.runMicroseconds / 1000));
  PrintCount("KernelTime  ms :%23s\n", Milliseconds(end.usage.ru_stime));
  PrintCount("UserTime    ms :%23s\n", Milliseconds(end.usage.ru_utime));
  if (end.haveIo) {
    PrintCount("ReadOps        :%23s\n", end.readOps);
    PrintCount("WriteOps       :%23s\n", end.writeOps);
    PrintCount("ReadBytes      :%23s\n", end.readBytes);
    PrintCount("WriteBytes     :%23s\n", end.writeBytes);
  }
  PrintCount("Maximum Memory :%23s\n", static_cast<std::uint64_t>(end.usage.ru_maxrss) * 1024);
}

void ShowHelp() {
  std::printf("\nTorqCmd Version %s %s + Command Line Tool for TORQ(R)\n", GetExeVersion(nullptr, "4.1.x.x"),
              gMainBuildTime);
  static constexpr const char* kEnglish[] = {
      "\nTorqCmd runs TORQ(4) with low priority. The main window stays open.",
      "\nYou can run TORQ form the Start.Run... menue without missing then TORQ messages.\n",
      "\nYou can use the following switches:",
      "\nTorqCmd /newcon   <Torqparameter> : TORQ runs in a new console window.",
      "\nTorqCmd /nowait   <Torqparameter> : TORQ starts without waiting to finish.",
      "\nTorqCmd /nocon    <Torqparameter> : TORQ is started without console window.",
      "\nTorqCmd /nopause  <Torqparameter> : TORQ closes the window after finish.",
      "\n\nThe switches can be mixed:",
      "\nTorqCmd /newcon /nowait : TORQ is started in a new window. It is not closed.",
      "\nTorqCmd /nocon /nowait /nopause : TORQ starts in the backgroung without console.",
  };
  static constexpr const char* kGerman[] = {
      "\nTorqCmd startet TORQ(4) mit niedriger Prioritaet. Das Fenster bleibt offen.",
      "\nDamit kann TORQ unter Start.Ausfuehren... gestartet werden,\nohne dass Meldungen verloren gehen.\n",
      "\nFolgende Schalter werden unterstuetzt:",
      "\nTorqCmd /newcon  <Torqparameter> : TORQ wird in einem neuen Fenster gestartet.",
      "\nTorqCmd /nowait  <Torqparameter> : TORQ wird in den Hintergrund gestartet.",
      "\nTorqCmd /nocon   <Torqparameter> : TORQ wird ohne Konsolenfenster gestartet.",
      "\nTorqCmd /nopause <Torqparameter> : TORQ schliesst das Fenster nach Beendigung.",
      "\n\nDie Schalter koennen kombiniert werden. Z.B.:",
      "\nTorqCmd /newcon /nowait : TORQ startet los geloest in einer neuen Konsole.",
      "\nTorqCmd /nocon /nowait /nopause  : TORQ startet ohne Konsole und wartet nicht.",
  };
  for (const char* line : German() ? kGerman : kEnglish) std::fputs(line, stdout);
  std::fputs("\n", stdout);
  WaitForKey();
}

std::int32_t TorqcmdMain(int argc, char** argv) {
  if (argc <= 1) {
    ShowHelp();
    return 0;
  }
  if (torq::platform::FileGetType(hOut, dwTypeOut) != 0) dwTypeOut = torq::platform::kFileTypeUnknown;
  if (const int rc = SetExeName()) {
    MsgList(rc, LastTorqHint);
    std::int32_t result = rc;
    PrintFailure(result);
    return result;
  }
  if (argc == 2 && argv[1] && strcasecmp(argv[1], "/reg") == 0) {
    int rc = SetAppPath(gTorqExe);
    if (rc == 0) rc = SetAppEnv(gTorqExe);
    return rc;
  }
  if (!LocateProgram()) {
    std::fputs(German() ? "\nTORQ4 bzw. TORQ nicht gefunden." : "\nTORQ4 or TORQ not found.", stdout);
    std::fputs("\n", stdout);
    WaitForKey();
    return -2;
  }
  GetSwitches(argc, argv);
  if (Detached && NewCon) {
    SysError = EINVAL;
    std::int32_t result = 0;
    PrintFailure(result);
    return result;
  }
  return NoPaused || !NewCon ? Run(argc, argv) : RunPaused(argc, argv);
}

std::int32_t RunPaused(int, char**) {
  // No console window can be opened here; the run is refused rather than silently changed.
  std::puts(German() ? "/newcon: kein neues Konsolenfenster auf diesem System"
                     : "/newcon: no new console window on this system");
  SysError = EOPNOTSUPP;
  std::int32_t result = 0;
  PrintFailure(result);
  return result;
}
