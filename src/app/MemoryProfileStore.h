#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/ProfileStore.h"

// A profile store held in memory, for the native build and for tests: it keeps the values and
// remembers every write in order.
class MemoryProfileStore : public ProfileStore {
public:
    struct Write {
        std::string section;
        std::string entry;
        int32_t value;
        bool operator==(const Write& o) const {
            return section == o.section && entry == o.entry && value == o.value;
        }
    };

    int32_t GetProfileInt(const char* section, const char* entry, int32_t nDefault) override {
        auto it = m_values.find(Key(section, entry));
        return it == m_values.end() ? nDefault : it->second;
    }

    bool WriteProfileInt(const char* section, const char* entry, int32_t nValue) override {
        m_values[Key(section, entry)] = nValue;
        m_writes.push_back({section, entry, nValue});
        return true;
    }

    const std::vector<Write>& Writes() const { return m_writes; }

private:
    static std::pair<std::string, std::string> Key(const char* section, const char* entry) {
        return {section, entry};
    }
    std::map<std::pair<std::string, std::string>, int32_t> m_values;
    std::vector<Write> m_writes;
};
