#pragma once

#include <string>

#include "res/EnglishStrings.h"

// The program's texts by string id, in the user's language.
class TextSource {
public:
    virtual ~TextSource() = default;
    virtual std::string Load(unsigned id) const = 0;
};

// The English table, for builds without Windows resources.
class EnglishTextSource : public TextSource {
public:
    std::string Load(unsigned id) const override {
        const char* text = EnglishString(id);
        return text != nullptr ? text : std::string();
    }
};
