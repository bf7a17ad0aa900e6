// Suggestions: the one known name that a misspelt one was most likely meant
// to be, for "did you mean" hints after an unknown mnemonic or label.
//
// A candidate that differs from what was written only in letter case comes
// first. Otherwise the nearest candidate counts when it lies within two
// edits (inserting, deleting or replacing a character, or swapping two
// neighbours; case counts) and no other candidate is as near. Pure
// functions; safe from any thread.

#ifndef ORVIX_SUGGEST_H_
#define ORVIX_SUGGEST_H_

#include <string>
#include <vector>

// The fewest edits that turn `a` into `b`: insertions, deletions,
// replacements and swaps of two neighbouring characters, no character edited
// twice.
int editdistance(const std::string& a, const std::string& b);

// The candidate `written` was most likely meant to be, or "" when none is
// near enough or two are equally near. Nothing is suggested for an empty
// text, nor a candidate equal to it.
std::string suggest(const std::string& written, const std::vector<std::string>& candidates);

#endif  // ORVIX_SUGGEST_H_
