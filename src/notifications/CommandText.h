#pragma once

#include <string>
#include <string_view>
#include <vector>

// A program and its arguments written as one line of text, the way a shell user types them;
// nothing is expanded (no variables, no wildcards, no shell runs).
//
// - Words are separated by blanks (spaces, tabs, line ends).
// - 'Single quotes' keep everything between them as it is.
// - "Double quotes" keep everything as it is, except that a backslash before ", \, $ or `
//   stands for that character.
// - Outside quotes a backslash stands for the character after it (a blank, a quote, itself).
// - Quoted parts and plain parts that touch make one word; "" is an empty word.
//
// SplitCommandText returns false with the reason in plain words in Error for a quote that is not
// closed, a backslash at the very end and a NUL byte (no program argument can hold one); Words is
// then left empty. Text without words gives true and no words. Total: any input gives one of
// the two, in time and memory linear in its length.
bool SplitCommandText(std::string_view Text, std::vector<std::string>& Words, std::string& Error);

// The words as one line that SplitCommandText reads back as the same words: a word of only
// letters, digits, bytes above 0x7F and "_@%+=:,./-" stays as it is, any other is put in single
// quotes (a ' in it written '\''), an empty word is ''. Words holding a NUL byte cannot be
// written; the NUL is left out.
std::string JoinCommandText(const std::vector<std::string>& Words);
