#pragma once

// A line drawn at the bottom of standard error that output scrolls past (the
// progress line). Every message of the run erases it first, so that no
// message is ever glued to it; the line is drawn again when it next changes.
class TransientLine {
  public:
    virtual ~TransientLine() = default;
    virtual void erase() = 0;
};
