#pragma once

#include <cstdint>

class ProfileStore;

// The 21 persisted settings, named after their registry values. The declaration order is the
// order of the option members at the head of the job object; the defaults are those of a load
// from an empty registry.
struct WipeOptions {
    int32_t m_nDodChar = 65;  // kept for the settings page; no wipe step uses it
    int32_t m_nOverrun = 0;
    int32_t m_nBufferSize = 2048;
    int32_t nAnticacheSize = 20;
    int32_t rAntiFolder = 0;
    int32_t AddWipe = 0;
    int32_t bAntiOneShot = 1;
    int32_t bNotDel = 0;
    int32_t nFiles = 40;
    int32_t rRen = 1;
    int32_t rZLen = 1;
    int32_t rNull = 1;
    int32_t Date = 1;
    int32_t Dummy = 0;
    int32_t NDispE = 0;
    int32_t NDispN = 0;
    int32_t Confirm = 0;
    int32_t DummySkip = 1;
    int32_t nOvwr = 3;
    int32_t DispF = 1;
    int32_t Log = 1;

    bool operator==(const WipeOptions& o) const;
};

// The registry section that holds the options.
extern const char kSettingsSection[];

// Start-up load: all 21 values, each with its table default, each brought into the range that
// its settings page allows.
void LoadOptions(ProfileStore& store, WipeOptions& options);

// Reload before a quick delete: 20 values (bNotDel keeps what start-up loaded), and an overrun
// that was never stored reads as 1024 rather than 0; brought into the pages' ranges too.
void ReloadOptionsForQuickDelete(ProfileStore& store, WipeOptions& options);

// The settings sheet's OK: writes only the values that differ from what is stored, comparing a
// missing overrun value as 1024; a missing overrun is always written.
void SaveOptions(ProfileStore& store, const WipeOptions& options);
