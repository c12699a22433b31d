#pragma once

#include "platform/ConsoleLine.h"

#include <windows.h>

#include <memory>

// The line of a console that takes no escape sequences (before Windows 10),
// drawn by the console API: the cursor is moved and the row blanked.
std::unique_ptr<ConsoleLine> consoleApiLine(HANDLE console);
