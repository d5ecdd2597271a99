#pragma once

// What WipeFile returns: Success, or the last point that the pipeline passed before it failed.
enum ResultCode : int {
    Success = -1,
    ErrGetAttributes = 0,
    ErrChangeAttributes = 1,
    ErrOpen = 2,
    ErrWrite = 3,
    ErrTruncate = 4,
    ErrRename = 5,
    ErrChangeDate = 6,
    ErrDelete = 7,
    ErrMakeDummy = 8,
    ErrDeleteDummy = 9,
    ErrFileTooLarge = 10,
};
