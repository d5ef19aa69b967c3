// The command line launch builds from its arguments, and how a started program's runtime splits it up again.
#pragma once

#include <string>
#include <vector>

// The arguments joined by single blanks, unchanged: nothing is quoted or escaped again.
std::string JoinArguments(int count, char* const* arguments);

// True when the line holds nothing but blanks and tabs: there is no program to start.
bool IsBlankCommandLine(const std::string& commandLine);

// Splits a command line the way a Windows program's runtime splits its own: blanks and tabs separate; double
// quotes group and are removed; 2n backslashes before a quote give n backslashes and the quote groups, 2n+1 give
// n backslashes and a literal quote; other backslashes are literal. The first word is the program.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
