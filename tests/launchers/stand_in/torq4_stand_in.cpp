// Takes torq4's place in the launcher tests. It records what it was given to the file named by
// STANDIN_RECORD (its own file, arguments, open descriptors, TORQ_RC_FD, nice value, session,
// where its standard streams lead), writes a line to its error output, and ends as
// STANDIN_RESULT says:
//   code:N        writes N to TORQ_RC_FD and exits with its low 8 bits, as torq4 does
//   pipe:T;exit:N writes the text T to TORQ_RC_FD and exits with N
//   exit:N        exits with N and writes nothing
//   signal:N      ends by signal N
// A first argument "result=..." takes STANDIN_RESULT's place.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string LinkOf(const std::string& name) {
  char target[512];
  const ssize_t n = ::readlink(name.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "-";
}

std::string LinkOf(int fd) { return LinkOf("/proc/self/fd/" + std::to_string(fd)); }

void WriteRcFd(const std::string& text) {
  const char* fd = std::getenv("TORQ_RC_FD");
  if (!fd) return;
  const int n = std::atoi(fd);
  if (::write(n, text.data(), text.size()) < 0) std::perror("stand-in");
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* record = std::getenv("STANDIN_RECORD")) {
    if (std::FILE* f = std::fopen(record, "we")) {
      std::fprintf(f, "exe=%s\n", LinkOf("/proc/self/exe").c_str());
      std::fprintf(f, "argc=%d\n", argc);
      for (int i = 0; i < argc; ++i) std::fprintf(f, "arg%d=%s\n", i, argv[i]);
      std::string fds;
      if (DIR* d = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(d);
        const int recordFd = ::fileno(f);
        while (dirent* e = ::readdir(d)) {
          if (e->d_name[0] == '.') continue;
          const int fd = std::atoi(e->d_name);
          if (fd != own && fd != recordFd) fds += std::to_string(fd) + ",";
        }
        ::closedir(d);
      }
      std::fprintf(f, "fds=%s\n", fds.c_str());
      const char* rcfd = std::getenv("TORQ_RC_FD");
      std::fprintf(f, "rcfd=%s\n", rcfd ? rcfd : "none");
      errno = 0;
      std::fprintf(f, "nice=%d\n", ::getpriority(PRIO_PROCESS, 0));
      std::fprintf(f, "session=%d\n", ::getsid(0) == ::getpid() ? 1 : 0);
      std::fprintf(f, "stdin=%s\nstdout=%s\n", LinkOf(0).c_str(), LinkOf(1).c_str());
      std::fclose(f);
    }
  }
  std::fprintf(stderr, "stand-in error output\n");
  const char* result = argc > 1 && std::strncmp(argv[1], "result=", 7) == 0 ? argv[1] + 7 : std::getenv("STANDIN_RESULT");
  const std::string r = result ? result : "code:0";
  if (r.rfind("code:", 0) == 0) {
    const long code = std::strtol(r.c_str() + 5, nullptr, 0);
    WriteRcFd(std::to_string(static_cast<int>(code)));
    return static_cast<int>(code) & 0xFF;
  }
  if (r.rfind("pipe:", 0) == 0) {
    const std::size_t semi = r.find(";exit:");
    WriteRcFd(r.substr(5, semi - 5));
    return std::atoi(r.c_str() + semi + 6);
  }
  if (r.rfind("exit:", 0) == 0) return std::atoi(r.c_str() + 5);
  if (r.rfind("signal:", 0) == 0) {
    const int sig = std::atoi(r.c_str() + 7);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
  }
  return 99;
}
