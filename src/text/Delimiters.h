#pragma once

// True for the characters that end macro names, directive words, condition
// words and the target extension of an inference rule.
bool isDelimiter(char c);
