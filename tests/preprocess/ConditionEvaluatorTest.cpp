#include "preprocess/ConditionEvaluator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ConditionCase {
    const char* text;
    bool expected;
};

void PrintTo(const ConditionCase& c, std::ostream* out) {
    *out << '"' << c.text << "\" -> " << (c.expected ? "true" : "false");
}

class ConditionTable : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ConditionTable, Answers) {
    ConditionEvaluator evaluator;
    EXPECT_EQ(evaluator.evaluateCondition(GetParam().text), GetParam().expected);
}

const ConditionCase kPrecedenceAndGrouping[] = {
    {"a == a", true},
    {"a == b", false},
    {"a != b", true},
    {"a == a && b == b", true},
    {"a == a && b == c", false},
    {"a == b || b == b", true},
    {"a == b || b == c", false},
    // "&&" and "||" share one precedence and group from the right.
    {"x == x || y == y && z == w", true},
    {"x == y && y == y || z == z", false},
    {"(x == y && y == y) || z == z", true},
    // The first comparison made is y == z; a word against a boolean is false.
    {"x == y == z", false},
    {"x == x == x", false},
    {"x != y != z", false},
    {"(a == a) && (b == b)", true},
    {"((a == a))", true},
    {"( a == a ) && ( ( b == c ) || ( c == c ) )", true},
    {"( a == a ) && ( ( b == c ) || ( c == d ) )", false},
    // A word or a parenthesised word is a string, never a true condition.
    {"1", false},
    {"yes", false},
    {"(abc)", false},
    // Booleans are not words: comparing them is false, combining words too.
    {"(a == a) == (b == b)", false},
    {"a && b", false},
    {"a || a == a", false},
};
INSTANTIATE_TEST_SUITE_P(PrecedenceAndGrouping, ConditionTable,
                         ::testing::ValuesIn(kPrecedenceAndGrouping));

const ConditionCase kLetterCase[] = {
    {"abc == ABC", true},
    {"abc != ABC", false},
    {"abc != abd", true},
    {"Debug == DEBUG && release != RELEASE", false},
    {"Debug == DEBUG && release != RELEASEX", true},
    // Only A-Z fold: other bytes must match exactly.
    {"\xc4 == \xe4", false},
    {"a_b == A_B", true},
};
INSTANTIATE_TEST_SUITE_P(LetterCase, ConditionTable, ::testing::ValuesIn(kLetterCase));

const ConditionCase kPunctuationTokens[] = {
    {"a==b", false},
    {"a==a", true},
    {"a == a&&b == b", true},
    {"a!=b||c", false},
    {"a!=b||c==c", true},
    // "=" is no operator: three operands.
    {"a=b", false},
    {"a = b", false},
    // The minus sign is a delimiter: six operands around one operator.
    {"a-b == a-b", false},
    // Dots, quotes, digits and underscores belong to words.
    {"1.0 == 1.0", true},
    {"1.0 == 1.00", false},
    {"\"x\" == x", false},
    {"\"x\" == \"X\"", true},
    {"'a' == 'a'", true},
    {"a;b == A;B", true},
    // A run of punctuation is a single token that is no operator.
    {"a ==! a", false},
    {"a === a", false},
    {"a\t==\ta", true},
};
INSTANTIATE_TEST_SUITE_P(PunctuationTokens, ConditionTable,
                         ::testing::ValuesIn(kPunctuationTokens));

const ConditionCase kMalformed[] = {
    {"", false},          {"   \t ", false},    {"==", false},       {"a ==", false},
    {"== a", false},      {"a b", false},       {"a == b c", false}, {"a == a b == b", false},
    {"&& a == a", false}, {"a == a ||", false}, {"()", false},       {"( )", false},
};
INSTANTIATE_TEST_SUITE_P(Malformed, ConditionTable, ::testing::ValuesIn(kMalformed));

const ConditionCase kUnbalancedParentheses[] = {
    {")", false},
    {"a == a )", false},
    {") a == a", false},
    {"a == a ) (", false},
    // ")&&(" is one closing token: its "&&" and "(" are lost, and the last ")"
    // finds no "(" open.
    {"(a == a)&&(b == b)", false},
    {"(", false},
    {"( a == a", false},
    {"a == a (", false},
    {"( a == a ) && ( b == b", false},
    {"( ( a == a )", false},
    // "((" opens one parenthesis and "))" closes one.
    {"((a == a) )", false},
    {"(( a == a ))", true},
    {"(((((((((( a == a", false},
    {")))))))))) a == a", false},
};
INSTANTIATE_TEST_SUITE_P(UnbalancedParentheses, ConditionTable,
                         ::testing::ValuesIn(kUnbalancedParentheses));

TEST(ConditionEvaluator, LongTokensCompareWhole) {
    ConditionEvaluator evaluator;
    const std::string word(5000, 'w');
    EXPECT_TRUE(evaluator.evaluateCondition(word + " == " + word));
    EXPECT_FALSE(evaluator.evaluateCondition(word + "x == " + word));
    EXPECT_FALSE(evaluator.evaluateCondition(word + " == " + word + "x"));
    std::string upper(5000, 'W');
    EXPECT_TRUE(evaluator.evaluateCondition(word + " == " + upper));
}

TEST(ConditionEvaluator, LongExpressionsHaveNoFixedLimit) {
    ConditionEvaluator evaluator;
    std::string chain = "a == a";
    for (int i = 0; i < 2000; ++i) {
        chain += " && a == a";
    }
    EXPECT_TRUE(evaluator.evaluateCondition(chain));
    EXPECT_FALSE(evaluator.evaluateCondition(chain + " && a == b"));
    EXPECT_TRUE(evaluator.evaluateCondition("a == b || " + chain));

    std::string nested = "a == a";
    for (int i = 0; i < 2000; ++i) {
        nested = "( " + nested + " )";
    }
    EXPECT_TRUE(evaluator.evaluateCondition(nested));
    EXPECT_FALSE(evaluator.evaluateCondition(nested + " )"));
    EXPECT_FALSE(evaluator.evaluateCondition("( " + nested));
}

TEST(ConditionEvaluator, EvaluationsAreIndependent) {
    ConditionEvaluator evaluator;
    EXPECT_FALSE(evaluator.evaluateCondition("( a == a"));
    EXPECT_TRUE(evaluator.evaluateCondition("a == a"));
    EXPECT_FALSE(evaluator.evaluateCondition("a == a )"));
    EXPECT_TRUE(evaluator.evaluateCondition("b != a"));
}

TEST(ConditionEvaluator, ResultKinds) {
    ConditionEvaluator evaluator;
    const std::unique_ptr<Value> word = evaluator.evaluate("(abc)");
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(word->kind(), ValueKind::String);
    EXPECT_STREQ(word->valueBytes(), "abc");

    const std::unique_ptr<Value> falseResult = evaluator.evaluate("x == y == z");
    ASSERT_NE(falseResult, nullptr);
    EXPECT_EQ(falseResult->kind(), ValueKind::Boolean);
    EXPECT_EQ(falseResult->valueBytes()[0], 0);

    EXPECT_EQ(evaluator.evaluate("a b"), nullptr);
    EXPECT_EQ(evaluator.evaluate(""), nullptr);
}

TEST(ConditionEvaluator, OperatorsFoundBySymbol) {
    ConditionEvaluator evaluator;
    const struct {
        const char* symbol;
        int precedence;
    } kOperators[] = {{"||", 5}, {"&&", 5}, {"==", 10}, {"!=", 10}};
    for (const auto& expected : kOperators) {
        const Operator* op = evaluator.findOperator(expected.symbol);
        ASSERT_NE(op, nullptr) << expected.symbol;
        EXPECT_EQ(op->symbol(), expected.symbol);
        EXPECT_EQ(op->precedence(), expected.precedence);
    }
    EXPECT_EQ(evaluator.findOperator("="), nullptr);
    EXPECT_EQ(evaluator.findOperator("==="), nullptr);
    EXPECT_EQ(evaluator.findOperator("|"), nullptr);
}

TEST(Operators, WrongKindsYieldFalse) {
    const auto word = [](const char* text) { return std::make_unique<StringValue>(text); };
    const auto boolean = [](bool truth) { return std::make_unique<BooleanValue>(truth); };
    const auto truth = [](const std::unique_ptr<Value>& value) {
        EXPECT_EQ(value->kind(), ValueKind::Boolean);
        return value->valueBytes()[0] != 0;
    };
    EXPECT_TRUE(truth(OrOperator().apply(boolean(false), boolean(true))));
    EXPECT_FALSE(truth(OrOperator().apply(word("1"), boolean(true))));
    EXPECT_TRUE(truth(AndOperator().apply(boolean(true), boolean(true))));
    EXPECT_FALSE(truth(AndOperator().apply(boolean(true), word("1"))));
    EXPECT_TRUE(truth(EqualsOperator().apply(word("Ab"), word("aB"))));
    EXPECT_FALSE(truth(EqualsOperator().apply(boolean(true), boolean(true))));
    EXPECT_TRUE(truth(NotEqualsOperator().apply(word("a"), word("ab"))));
    EXPECT_FALSE(truth(NotEqualsOperator().apply(word("a"), boolean(false))));
}

struct TokenCase {
    const char* text;
    std::vector<std::string> tokens;
};

void PrintTo(const TokenCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class Tokenizer : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokenizer, SplitsWordsAndPunctuationRuns) {
    ConditionEvaluator evaluator;
    const std::string text = GetParam().text;
    std::vector<std::string> tokens;
    for (const std::string* token = evaluator.nextToken(&text); token != nullptr;
         token = evaluator.nextToken(nullptr)) {
        tokens.push_back(*token);
    }
    EXPECT_EQ(tokens, GetParam().tokens);
}

const TokenCase kTokenCases[] = {
    {"", {}},
    {" \t ", {}},
    {"a==b", {"a", "==", "b"}},
    {"((a == b))", {"((", "a", "==", "b", "))"}},
    {"(a)&&(b)", {"(", "a", ")&&(", "b", ")"}},
    {"  1.0 \"x\" ", {"1.0", "\"x\""}},
    {"a-b", {"a", "-", "b"}},
    {"x\r\ny", {"x", "\r\n", "y"}},
    {"$(a)", {"$(", "a", ")"}},
    {"( (", {"(", "("}},
};
INSTANTIATE_TEST_SUITE_P(Evaluator, Tokenizer, ::testing::ValuesIn(kTokenCases));

} // namespace
