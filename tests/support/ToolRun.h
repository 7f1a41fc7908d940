// Test support: running a command-line program with its outputs caught.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/MovieBuilder.h"

struct TRun {
  int Status = -1;  // the exit status, -1 when it did not exit
  std::string Out, Err;
};

// Text as one shell word.
inline std::string ShellQuote(const std::string& Text) {
  std::string Quoted = "'";
  for (const char C : Text) Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Quoted + "'";
}

// What runs a command as the unprivileged user 65534 when the tests run as
// root, for whom permissions do not hold; empty for anyone else. Skip is set
// when that is needed but setpriv is missing.
inline std::string AsUnprivilegedUser(bool& Skip) {
  Skip = false;
  if (geteuid() != 0) return "";
  if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
    Skip = true;
    return "";
  }
  return "setpriv --reuid=65534 --regid=65534 --clear-groups ";
}

// Runs Program with Args (after the shell text Before, such as variables),
// its standard input empty, its outputs caught in files under Scratch.
inline TRun RunProgram(const std::string& Program, const std::vector<std::string>& Args,
                       const std::string& Scratch, const std::string& Before = "") {
  std::string Command = Before + ShellQuote(Program);
  for (const std::string& Arg : Args) Command += " " + ShellQuote(Arg);
  const std::string OutFile = Scratch + "stdout.txt", ErrFile = Scratch + "stderr.txt";
  Command += " >" + ShellQuote(OutFile) + " 2>" + ShellQuote(ErrFile) + " </dev/null";
  TRun R;
  const int Raw = std::system(Command.c_str());
  R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  const TBytes Out = ReadFileBytes(OutFile), Err = ReadFileBytes(ErrFile);
  R.Out.assign(Out.begin(), Out.end());
  R.Err.assign(Err.begin(), Err.end());
  return R;
}
