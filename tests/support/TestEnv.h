#pragma once
// Small helpers shared by the test programs.
#include <string>

// A fresh, empty folder for one test's files (under the build tree).
std::string MakeTempDir(const std::string& name);
// Runs a shell command; returns its exit status.
int RunCommand(const std::string& command);
// True when the command exists on PATH.
bool HaveCommand(const std::string& name);
