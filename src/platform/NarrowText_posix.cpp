#include "platform/NarrowText.h"

// Names are bytes here, and UTF-8 is the usual reading of them.
bool narrowFromUtf8(std::string_view utf8, std::string& narrow) {
    narrow.assign(utf8.data(), utf8.size());
    return true;
}

std::string narrowEncodingName() {
    return std::string();
}
