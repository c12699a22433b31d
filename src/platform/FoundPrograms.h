#pragma once

#include <string>
#include <unordered_map>

// The programs that a run's commands name, each searched for on the search
// path once: a command then starts by the path found, and only a start by it
// that fails, of a program moved or gone since, leaves the search to the
// start again, as before the first. A run keeps one and hands it to every
// start. On Windows nothing is found here: CreateProcess searches as it always
// did, the tool's own directory and the system's before the path.
class FoundPrograms {
  public:
    // The path to start the program by, searched for the first time the name
    // comes. Null when the name holds a directory part, when the search found
    // nothing that the system would start, and after forget(): the start
    // searches itself then.
    const std::string* find(const std::string& name);
    // Leaves the search for the program to the start from now on, after a
    // start by the path found failed.
    void forget(const std::string& name);

  private:
    std::unordered_map<std::string, std::string> paths_; // empty: none found
};
