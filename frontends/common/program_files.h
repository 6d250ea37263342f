// Where a program's files are found from wherever it is started: beside the
// executable, and in the data directory of an installed copy. Platform code
// (the executable's own path) stays here, out of the engine.
#pragma once

#include <string>

// The directory holding the running executable, with or without a final
// separator, in the form the C library's fopen takes (Windows: the ANSI code
// page); empty when the system cannot tell or the path cannot be written so.
std::string ExecutableDirectory();

// Adds, after the resource table's "./" and "../data/", the executable's
// directory and then "<it>/<bindir to datadir>/lumen-gravel/" (for
// "<prefix>/bin", "<prefix>/share/lumen-gravel/"), the relative step fixed
// when the build was configured, so that any install prefix works; last the
// data directory the build was configured for, absolute (none on Windows),
// for a program copied elsewhere. Call before the first resource is read
// from a file.
void AddProgramResourceDirectories();
