#include "app/WipeOptions.h"

#include <cstddef>

#include "app/ProfileStore.h"

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
}

void ReloadOptionsForQuickDelete(ProfileStore& store, WipeOptions& options) {
    for (const FieldInfo& f : kLoadOrder) {
        if (f.field == &WipeOptions::bNotDel) continue;
        const int32_t def =
            f.field == &WipeOptions::m_nOverrun ? kOverrunCompareDefault : kDefaults.*f.field;
        options.*f.field = store.GetProfileInt(kSettingsSection, f.name, def);
    }
}

void SaveOptions(ProfileStore& store, const WipeOptions& options) {
    for (const FieldInfo& f : kSaveOrder) {
        const int32_t def =
            f.field == &WipeOptions::m_nOverrun ? kOverrunCompareDefault : kDefaults.*f.field;
        const int32_t stored = store.GetProfileInt(kSettingsSection, f.name, def);
        if (options.*f.field != stored) {
            store.WriteProfileInt(kSettingsSection, f.name, options.*f.field);
        }
    }
}
