#pragma once

#include <string>

#include "app/WipeOptions.h"

// The job object: the options at its head, then the job's own state.
class DeleteJob : public WipeOptions {
public:
    // The log that the job appends to; owned by the application object.
    std::string* m_pLog = nullptr;
};
