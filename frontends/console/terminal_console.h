// The show's console on a POSIX terminal: raw input without echo, the
// alternate screen with the cursor hidden and autowrap off, the show's
// title, one write per frame, and a terminal given back as it was on every
// way out (normal end, Escape, SIGINT, SIGQUIT, SIGHUP, SIGTERM, exit() from
// a fatal failure through atexit, and the crash signals SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT, which then end the program as they would have:
// the default action, or the handler that was there before, such as a
// sanitizer's). Keys are read from standard input when it is a terminal,
// else from /dev/tty.
//
// Call order: OpenConsole first thing in main; SetUpConsole once the
// resource table exists (it reads "textmodechars.png"); then per frame
// PresentConsole and PollConsoleKeys; RestoreConsole at the end (also run at
// exit, and harmless twice).
//
// Ctrl+C and Ctrl+\ stay signals (the terminal keeps ISIG): they arrive as
// SIGINT and SIGQUIT whatever the frame loop is doing. Suspending (Ctrl+Z)
// is switched off for the show, since a stopped show would leave the
// terminal raw.
#pragma once

#include <cstddef>

#include "engine/core/cell.h"
#include "engine/core/demo_run.h"

constexpr const char* kConsoleTitle = "Lumen Gravel - Pelkora 2o14 - https://pelkora.example/";

// Checks that standard output is a terminal and that TERM names one that
// can move the cursor (not unset, empty or "dumb"); else prints one line on
// standard error and returns false, having changed nothing. Then installs the
// crash, quit and resize signal handlers and registers RestoreConsole with
// atexit.
bool OpenConsole(const char* programName);

// Takes the terminal: raw mode, alternate screen, hidden cursor, no
// autowrap, the title (the previous one pushed on the title stack), a
// resize request when smaller than 80 x 50 (undone at the end, to the size
// the terminal reports when asked first). Standard output is held in a
// temporary file until RestoreConsole replays it on the main screen, so
// that a failure message printed during the show stays readable.
void SetUpConsole();

// Decodes the 4000 cells and shows them with one write. A resize since the
// last frame, or a write the terminal did not take whole, makes it a full
// redraw.
void PresentConsole(const Cell* cells);

// Every pending input byte, read without blocking, as key records in order;
// writes at most max and keeps the rest for the next call.
size_t PollConsoleKeys(KeyRecord* records, size_t max);

// Set by SIGINT, SIGQUIT, SIGHUP or SIGTERM.
bool ConsoleQuitRequested();

// Gives the terminal back: colours reset, autowrap on, cursor shown, main
// screen, previous title, terminal modes; then the standard output held
// during the show. Does nothing when the console is not set up.
void RestoreConsole();

// Bytes the last PresentConsole wrote, wrapper included.
size_t ConsoleLastFrameBytes();
