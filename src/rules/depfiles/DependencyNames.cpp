#include "rules/depfiles/DependencyNames.h"

void DependencyNames::add(std::string_view name) {
    if (seen_->find(name) != nullptr) {
        return;
    }
    names_.emplace_back(name);
    (*seen_)[names_.back()] = true;
}

void DependencyNames::clear() {
    names_.clear();
    seen_ = std::make_unique<NameTable<bool>>();
}
