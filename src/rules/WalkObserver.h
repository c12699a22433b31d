#pragma once

#include <string>

class InferenceRule;

// Told of the walk as it goes: what depends on what, and what is out of date.
// It only listens; the walk decides the same whether it is told or not.
class WalkObserver {
  public:
    virtual ~WalkObserver() = default;
    // `via` is the inference rule that makes the target from the dependency, or null.
    virtual void dependsOn(const std::string& target, const std::string& dependency,
                           const InferenceRule* via) = 0;
    virtual void decided(const std::string& target, bool outOfDate) = 0;
    // The target's dependency file lists the name.
    virtual void listedIn(const std::string& target, const std::string& name) = 0;
};
