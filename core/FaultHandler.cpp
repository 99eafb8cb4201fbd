// FaultHandler: the allocation failure and what was being built.
#include "core/FaultHandler.h"

#include <new>

#include "core/ExitStatus.h"

namespace {

const char* purpose = "running";

// Called by operator new (and AllocateVoxels) when memory runs out; must
// not allocate, so it writes with the platform's raw call.
void OnOutOfMemory()
{
    WriteLastWords("out of memory while ", purpose);
    EndNow(ExitStatus::OutOfMemory);
}

} // namespace

AllocationPurpose::AllocationPurpose(const char* what) : previous(purpose)
{
    purpose = what;
}

AllocationPurpose::~AllocationPurpose()
{
    purpose = previous;
}

void InstallFaultHandlers(const char* errorFileName)
{
    InstallSignalHandlers(errorFileName);
    std::set_new_handler(OnOutOfMemory);
}
