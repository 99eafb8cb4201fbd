// ScriptHost: the program's one embedded Lua 5.1 interpreter, with the
// replacement `print` (into the log) and `addMapLoadedCallbacks`.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct lua_State;

class ScriptHost {
public:
    lua_State* state = nullptr;
    std::vector<std::string> mapLoadedCallbacks;

    // Creates the interpreter, opens the standard libraries and registers the
    // program's functions. A state that cannot be created stops the process
    // with a message and status 1, before anything can use it.
    void Start();
    // Closes the interpreter, then forgets the recorded callback names.
    void Stop();

    // Upper bound on the interpreter's heap, so a runaway script fails with a
    // Lua memory error instead of exhausting the machine.
    static const std::size_t MemoryLimit = 256u << 20;
    std::size_t memoryInUse = 0;
};

// The program-wide interpreter, started before the entry routine.
extern ScriptHost scriptHost;
