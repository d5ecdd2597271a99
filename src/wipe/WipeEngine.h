#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/WipeOptions.h"
#include "wipe/Random.h"
#include "wipe/ResultCode.h"
#include "wipe/WipeEvents.h"
#include "wipe/WipeTarget.h"

#include "wipe/FileLayer.h"

class Clock;

// What is done to one target and to the space around it: the eligibility check, the pipeline
// of stages, the dummy file entries and the additional wipe space. It works on the options and
// the target that its owner (the job) holds, through the file layer, and reports through the
// events; it shows and formats nothing itself.
class WipeEngine {
public:
    WipeEngine(FileLayer& files, Clock& clock, WipeOptions& options, WipeTarget& target,
               WipeEvents& events);
    WipeEngine(const WipeEngine&) = delete;
    WipeEngine& operator=(const WipeEngine&) = delete;

    // Splits the target's path into folder and name, opens the folder and looks the entry up.
    // False for a missing path, a folder, temporary, sparse or offline files, links, mount
    // points and other reparse points, and devices and pipes. The file it saw is the one that
    // every later step on the target must find: another under the name fails that step.
    bool CheckTarget();
    // The same for `name` in a folder that the caller opened (a walk through a tree, by
    // descriptor): the target's path is then the name alone, and its folder's path empty.
    bool CheckTargetIn(std::unique_ptr<FolderHandle> folder, const std::string& name);
    // Makes `folder` the current target's folder, whose path is empty, with no target checked:
    // for a dummy stage there.
    void UseFolder(std::unique_ptr<FolderHandle> folder);
    // Wipes the current target: Success, or the code of the last point passed.
    int WipeFile();
    // Creates and removes a batch of dummy files in the target's folder, so that directory
    // entries that held old names get reused. 1 when all went through.
    int MakeDummyFileEntries();
    // Fills free space next to the target with a temporary file of random bytes, twice, and
    // removes it. 1 when switched off or done; 0 when the file could not be made or written.
    int MakeAdditionalWipeFile(const std::string& targetPath);
    // The additional-wipe file's size for a stored size in megabytes: nothing for 0 or less;
    // stored sizes beyond what 32-bit byte counts hold are capped at 2047 MiB.
    static int64_t AnticacheBytes(int32_t megabytes);
    // lo + (r * (hi - lo + 1)) / 255 for a random byte r, drawn again when beyond hi.
    int RandomInRange(int lo, int hi);

private:
    class Pipeline;
    friend class Pipeline;

    // Seeds the generator with the current time in whole seconds.
    void Reseed();
    // The check of the target's name in the folder already opened.
    bool CheckInFolder();
    // Looks the target's name up in its folder for its on-disk name and attributes.
    bool Describe();
    // The folder at `path`: the checked target's own when it is that one, else one opened now
    // and held by `own`; null when it cannot be opened.
    FolderHandle* FolderAt(const std::string& path, std::unique_ptr<FolderHandle>& own,
                           long* osError = nullptr);

    FileLayer& m_files;
    Clock& m_clock;
    WipeOptions& m_options;
    WipeTarget& m_target;
    WipeEvents& m_events;
    JobRandom m_random;
    // The folder of the last target checked, the path it was opened for, and the file that
    // the check saw (when it saw one it would wipe).
    std::unique_ptr<FolderHandle> m_folder;
    std::string m_strOpenFolder;
    FileIdentity m_identity;
    bool m_bChecked = false;
};
