#include "app/WipeOptions.h"

#include <cstddef>
#include <cstdint>

#include "base/ProfileStore.h"

const char kSettingsSection[] = "Settings";

namespace {

using Field = int32_t WipeOptions::*;

struct FieldInfo {
    const char* name;
    Field field;
};

// Each list is in the order in which its routine touches the registry.
#define TW_FIELD(f)         \
    FieldInfo {             \
#f, &WipeOptions::f \
    }

constexpr FieldInfo kLoadOrder[] = {
    TW_FIELD(NDispN),       TW_FIELD(NDispE),
    TW_FIELD(Dummy),        TW_FIELD(DummySkip),
    TW_FIELD(Date),         TW_FIELD(rNull),
    TW_FIELD(rZLen),        TW_FIELD(rRen),
    TW_FIELD(nOvwr),        TW_FIELD(nFiles),
    TW_FIELD(Confirm),      TW_FIELD(DispF),
    TW_FIELD(Log),          TW_FIELD(AddWipe),
    TW_FIELD(rAntiFolder),  TW_FIELD(nAnticacheSize),
    TW_FIELD(bAntiOneShot), TW_FIELD(m_nBufferSize),
    TW_FIELD(m_nOverrun),   TW_FIELD(m_nDodChar),
    TW_FIELD(bNotDel),
};

constexpr FieldInfo kSaveOrder[] = {
    TW_FIELD(NDispN),         TW_FIELD(NDispE),       TW_FIELD(Dummy),      TW_FIELD(DummySkip),
    TW_FIELD(nFiles),         TW_FIELD(Date),         TW_FIELD(rNull),      TW_FIELD(rZLen),
    TW_FIELD(rRen),           TW_FIELD(nOvwr),        TW_FIELD(AddWipe),    TW_FIELD(rAntiFolder),
    TW_FIELD(nAnticacheSize), TW_FIELD(bAntiOneShot), TW_FIELD(m_nOverrun), TW_FIELD(m_nDodChar),
    TW_FIELD(m_nBufferSize),  TW_FIELD(Confirm),      TW_FIELD(DispF),      TW_FIELD(Log),
    TW_FIELD(bNotDel),
};

#undef TW_FIELD

constexpr size_t kFieldCount = sizeof(kLoadOrder) / sizeof(kLoadOrder[0]);
static_assert(kFieldCount == 21, "every option is loaded");
static_assert(sizeof(kSaveOrder) / sizeof(kSaveOrder[0]) == 21, "every option is saved");
static_assert(sizeof(WipeOptions) == 21 * sizeof(int32_t), "options are 21 plain integers");

// The quick delete and the save compare an unstored overrun with this, not with 0.
constexpr int32_t kOverrunCompareDefault = 1024;

const WipeOptions kDefaults{};

// What the settings pages let the user enter, and what a loaded value outside it becomes: the
// nearest bound, or what the job already makes of such a value (kOutside), so that the job, the
// pages and what they save agree and no page holds the user on a value they cannot see.
constexpr int32_t kNearest = INT32_MIN;
struct PageRange {
    Field field;
    int32_t low, high, outside;
};
constexpr PageRange kPageRanges[] = {
    {&WipeOptions::nOvwr, 1, 50, kNearest},
    {&WipeOptions::m_nBufferSize, 1, 2048, 2048},  // 0 or more than 2048 writes 2048 a time
    {&WipeOptions::m_nOverrun, 0, 65536, 0},       // out of range, the job writes no overrun
    {&WipeOptions::m_nDodChar, 0, 255, kNearest},
    {&WipeOptions::nAnticacheSize, 1, 100, kNearest},
    {&WipeOptions::nFiles, 1, 100, kNearest},
    // Radio groups: the job takes a value out of range as "on" (for rRen: a random name, not
    // also the one like a Windows file's).
    {&WipeOptions::rRen, 0, 2, 1},
    {&WipeOptions::rZLen, 0, 1, 1},
    {&WipeOptions::rNull, 0, 1, 1},
    {&WipeOptions::rAntiFolder, 0, 1, 1},
    // Check boxes (2 shows checked): non-zero is on.
    {&WipeOptions::Date, 0, 2, 1},
    {&WipeOptions::Dummy, 0, 2, 1},
    {&WipeOptions::DummySkip, 0, 2, 1},
    {&WipeOptions::NDispE, 0, 2, 1},
    {&WipeOptions::NDispN, 0, 2, 1},
    {&WipeOptions::Confirm, 0, 2, 1},
    {&WipeOptions::DispF, 0, 2, 1},
    {&WipeOptions::Log, 0, 2, 1},
    {&WipeOptions::AddWipe, 0, 2, 1},
    {&WipeOptions::bAntiOneShot, 0, 2, 1},
    {&WipeOptions::bNotDel, 0, 2, 1},
};
static_assert(sizeof(kPageRanges) / sizeof(kPageRanges[0]) == 21, "every option has its range");

void BringIntoPageRanges(WipeOptions& options) {
    for (const PageRange& r : kPageRanges) {
        int32_t& value = options.*r.field;
        if (value >= r.low && value <= r.high) continue;
        value = r.outside != kNearest ? r.outside : value < r.low ? r.low : r.high;
    }
}

}  // namespace

bool WipeOptions::operator==(const WipeOptions& o) const {
    for (const FieldInfo& f : kLoadOrder) {
        if (this->*f.field != o.*f.field) return false;
    }
    return true;
}

void LoadOptions(ProfileStore& store, WipeOptions& options) {
    for (const FieldInfo& f : kLoadOrder) {
        options.*f.field = store.GetProfileInt(kSettingsSection, f.name, kDefaults.*f.field);
    }
    BringIntoPageRanges(options);
}

void ReloadOptionsForQuickDelete(ProfileStore& store, WipeOptions& options) {
    for (const FieldInfo& f : kLoadOrder) {
        if (f.field == &WipeOptions::bNotDel) continue;
        const int32_t def =
            f.field == &WipeOptions::m_nOverrun ? kOverrunCompareDefault : kDefaults.*f.field;
        options.*f.field = store.GetProfileInt(kSettingsSection, f.name, def);
    }
    BringIntoPageRanges(options);
}

void SaveOptions(ProfileStore& store, const WipeOptions& options) {
    for (const FieldInfo& f : kSaveOrder) {
        const int32_t def =
            f.field == &WipeOptions::m_nOverrun ? kOverrunCompareDefault : kDefaults.*f.field;
        const int32_t stored = store.GetProfileInt(kSettingsSection, f.name, def);
        // An overrun equal to its comparison default but never stored would come back as 0 at
        // the next start: a value the user confirmed must be there.
        const bool unstored = f.field == &WipeOptions::m_nOverrun && stored == def &&
                              store.GetProfileInt(kSettingsSection, f.name, def + 1) != def;
        if (options.*f.field != stored || unstored) {
            store.WriteProfileInt(kSettingsSection, f.name, options.*f.field);
        }
    }
}
