// The program's one version, shown by --version and written into demos; the
// build reads it from here for the packages and the Windows resources.
#pragma once

constexpr const char* ProgramVersion = "0.9.0";
