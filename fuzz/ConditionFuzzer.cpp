// The condition evaluator on an arbitrary expression. Besides crashes, leaks
// and hangs it checks two properties that hold for every text: the answer does
// not depend on letter case (A-Z), nor on whether a blank is a space or a tab.
#include "preprocess/ConditionEvaluator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ConditionEvaluator evaluator;
    const bool answer = evaluator.evaluateCondition(text);

    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), '\t', ' ');
    if (evaluator.evaluateCondition(upper) != answer ||
        evaluator.evaluateCondition(spaced) != answer) {
        __builtin_trap();
    }
    return 0;
}
