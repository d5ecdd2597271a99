#pragma once

#include <vector>

// The program's texts in English, for builds without Windows resources (the native build and
// its tests). nullptr for an id that the table does not have.
const char* EnglishString(unsigned id);

// Every id of the table, in increasing order.
std::vector<unsigned> EnglishStringIds();
