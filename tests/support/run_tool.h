// Runs a program of ours from the test's working directory and captures its
// exit code, standard output and standard error; waits for what it leaves.
#pragma once

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

// Polls for condition until a deadline far beyond any normal run, so that a
// loaded machine only makes a test slower.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() > deadline) return false;
  return true;
}

struct RunResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// args are already quoted for the shell; name keeps the captured output of
// separate runs apart.
inline RunResult RunProgram(const std::string& program, const std::string& args, const std::string& name) {
  const std::string outFile = name + ".stdout";
  const std::string errFile = name + ".stderr";
  const std::string command = "'" + program + "' " + args + " >" + outFile + " 2>" + errFile;
  const int status = std::system(command.c_str());
  RunResult r;
  if (status != -1 && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  r.out = ReadText(outFile);
  r.err = ReadText(errFile);
  return r;
}

// A character device at path with the numbers of /dev/null (minor 3) or
// /dev/full (minor 7), as a program's output; false where making device nodes
// is not permitted (not root, or a container without the capability).
inline bool MakeMemoryDevice(const char* path, unsigned minor) {
  return mknod(path, S_IFCHR | 0666, makedev(1, minor)) == 0;
}
