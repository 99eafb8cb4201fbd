// The program's version, shown by --version and written into demos.
#pragma once

constexpr const char* ProgramVersion = "0.9.0";
