#pragma once

#include "platform/Jobserver.h"

#include <cstddef>

// A jobserver of a given number of tokens, which records how many were out at
// most; nothing is shared with any other process.
class FakeJobserver : public Jobserver {
  public:
    explicit FakeJobserver(std::size_t tokens) : free(tokens) {}

    bool tryAcquire() override {
        if (free == 0) {
            return false;
        }
        --free;
        ++taken;
        mostTaken = taken > mostTaken ? taken : mostTaken;
        return true;
    }
    void release() override {
        ++free;
        --taken;
    }

    std::size_t free;
    std::size_t taken = 0;
    std::size_t mostTaken = 0;
};
