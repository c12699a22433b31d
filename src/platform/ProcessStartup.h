#pragma once

#include <string>
#include <vector>

// The arguments after the program name, as the platform hands them over.
std::vector<std::string> processArguments(int argc, char** argv);
// The process environment as "NAME=value" texts, in the environment's order.
std::vector<std::string> processEnvironment();
// Sets a variable of the process environment, which the commands started
// from then on inherit.
void setEnvironmentVariable(const std::string& name, const std::string& value);
// The running program's own file path (argument 0 of the command line).
std::string programPath();
