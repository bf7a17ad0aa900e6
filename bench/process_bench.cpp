// A whole orvix run on a 32-statement program, spawned as a process with its
// console output going to a file, against the start-up floor: a trivial
// program linked the same way, spawned the same way.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench.h"

extern char** environ;

namespace {

// 32 statements, every mnemonic, labels, comments and blank lines.
const char kProgram[] =
    "; a full memory: 32 statements\n"
    "start:  load 5        ; set up\n"
    "        lea 31\n"
    "        sto 30\n"
    "loop:   add 1         ; next value\n"
    "        and 15\n"
    "        outb\n"
    "        outbpb 3\n"
    "        sdpcpu\n"
    "\n"
    "        inb\n"
    "        wdpcpu\n"
    "        inc\n"
    "        dec\n"
    "        lsh\n"
    "        rsh\n"
    "        inv\n"
    "        swap\n"
    "        leamq\n"
    "        jc done\n"
    "        jo done\n"
    "        jmq loop\n"
    "        j loop\n"
    "        load -1\n"
    "        add,2\n"
    "        sto 29\n"
    "        lea 0\n"
    "        outbpb 7\n"
    "        inc\n"
    "        dec\n"
    "        inv\n"
    "        swap\n"
    "        j start\n"
    "done:   j done        ; stay here\n";

const std::string& ProgramPath() {
  static std::string path = [] {
    std::string p = BenchTempDir() + "/program32.asm";
    FILE* f = fopen(p.c_str(), "w");
    fputs(kProgram, f);
    fclose(f);
    return p;
  }();
  return path;
}

// Runs `argv` with standard output sent to `out`; returns the exit status,
// or -1 when the process could not be run.
int Spawn(const std::vector<std::string>& args, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void RunProcess(benchmark::State& state, const std::vector<std::string>& args) {
  const std::string out = BenchTempDir() + "/console.txt";
  if (Spawn(args, out) != 0) {
    state.SkipWithError("the program did not succeed");
    return;
  }
  for (auto _ : state) Spawn(args, out);
}

void OrvixRun(benchmark::State& state) {
  RunProcess(state, {ORVIX_BIN, ProgramPath(), BenchTempDir() + "/program32.mif"});
}
BENCHMARK(OrvixRun)->Name("process/orvix")->UseRealTime()->Unit(benchmark::kMicrosecond);

void StartupFloor(benchmark::State& state) { RunProcess(state, {STARTUP_FLOOR_BIN}); }
BENCHMARK(StartupFloor)->Name("process/floor")->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
