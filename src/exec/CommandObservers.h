#pragma once

#include "exec/CommandObserver.h"

#include <vector>

// Passes each event on to every observer added, in the order they were added.
class CommandObservers : public CommandObserver {
  public:
    void add(CommandObserver& observer) { observers_.push_back(&observer); }
    bool empty() const { return observers_.empty(); }

    void writing() override;
    void started(std::uint64_t id, const std::string& target, const std::string& text,
                 bool direct) override;
    void ended(std::uint64_t id, const std::string& target, const std::string& text,
               int status) override;
    void waiting() override;

  private:
    std::vector<CommandObserver*> observers_;
};
