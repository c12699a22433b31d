#pragma once

#include <string>

// The system's directory for temporary files, ending in a separator.
std::string temporaryDirectory();
