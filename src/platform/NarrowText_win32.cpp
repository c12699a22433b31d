#include "platform/NarrowText.h"

#include <windows.h>

#include <algorithm>

bool narrowFromUtf8(std::string_view utf8, std::string& narrow) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const UINT codePage = GetACP();
    if (ascii || codePage == CP_UTF8) {
        narrow.assign(utf8.data(), utf8.size());
        return true;
    }
    const int size = static_cast<int>(utf8.size());
    // Invalid UTF-8 is converted all the same, each bad byte as U+FFFD, which
    // no ANSI code page holds.
    int wideSize =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    const bool valid = wideSize > 0;
    if (!valid) {
        wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], wideSize);
    // No best fit: an "e" for an "ė" would name another file.
    BOOL usedDefault = FALSE;
    const int narrowSize = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                               wideSize, nullptr, 0, nullptr, &usedDefault);
    narrow.assign(static_cast<std::size_t>(narrowSize), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, &narrow[0],
                        narrowSize, nullptr, &usedDefault);
    return valid && !usedDefault;
}

std::string narrowEncodingName() {
    return "the ANSI code page " + std::to_string(GetACP());
}
