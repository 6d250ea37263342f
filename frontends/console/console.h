// The show's console: what demo_console asks of the screen and keyboard it
// runs on. One layer per platform, chosen at build time: terminal_console.cpp
// on a POSIX terminal, windows_console.cpp on a Windows console; each file
// describes how its platform keeps this contract.
//
// Both layers: one 80 x 50 frame shown per PresentConsole with the show's
// title and no visible cursor, keys read without blocking and without echo,
// and the console given back as it was on every way out (normal end,
// Escape, the platform's quit events, exit() from a fatal failure through
// atexit, and a crash, which then ends the program as it would have).
// Standard output printed during the show (a fatal failure's message) is
// readable after the console is given back.
//
// Call order: OpenConsole first thing in main; SetUpConsole once the
// resource table exists; then per frame PresentConsole and PollConsoleKeys;
// RestoreConsole at the end (also run at exit, and harmless twice).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/cell.h"
#include "engine/core/demo_run.h"

// How a terminal shows the 16 text-mode colours (a Windows console always
// shows its own 16 attribute colours; there only Auto applies).
enum class ConsoleColour : uint8_t {
  Auto,         // Palette where the terminal answers a palette query, else
                // TrueColour where COLORTERM says so, else Ansi16
  Palette,      // terminal colours 0..15 set to the show's, drawn as Ansi16;
                // the terminal's own palette given back on every way out
  TrueColour,   // 24-bit colour codes of the show's colours
  Ansi16,       // the 16 ANSI colour codes in the terminal's own colours
};

// The characters a terminal draws the shading marks with (a Windows console
// draws the code page 437 marks themselves).
enum class ConsoleGlyphs : uint8_t {
  Marks,    // the marks of the 8 x 8 font as Unicode, except the sun: its
            // usual form (U+263C) has less ink in common terminal fonts than
            // the marks it should outshine, so the fisheye (U+25C9) stands in
  Blocks,   // space and the light, medium and dark shades and full block
            // (fixed shares of 0, 1/4, 1/2, 3/4, 1): each mark the one
            // nearest its coverage in the 8 x 8 font
};

struct ConsoleOptions {
  ConsoleColour colour = ConsoleColour::Auto;
  ConsoleGlyphs glyphs = ConsoleGlyphs::Blocks;   // reads closer to the text-mode picture (README)
};

constexpr const char* kConsoleTitle = "Lumen Gravel - Pelkora 2o14 - https://pelkora.example/";

// Checks that standard output is a console the layer can drive; else prints
// one line on standard error and returns false, having changed nothing.
// Then installs the quit and crash handlers and registers RestoreConsole
// with atexit (from here on, whatever the layer changes is given back).
bool OpenConsole(const char* programName);

// Takes the console for the show (its previous state saved first) and holds
// standard output until RestoreConsole.
void SetUpConsole(const ConsoleOptions& options);

// Decodes the 4000 cells and shows them; false, having written nothing, when
// the console has not yet taken the previous frame (a terminal that answers
// status requests and is still drawing it), so that the picture never queues
// behind the music. The next frame shown then carries every change (on a
// slow terminal, within a budget of bytes: the rest over the frames after).
bool PresentConsole(const Cell* cells);

// Pending key events, read without blocking, as key records in order;
// writes at most max and keeps the rest for the next call.
size_t PollConsoleKeys(KeyRecord* records, size_t max);

// A quit event has arrived (a signal, or a console control event).
bool ConsoleQuitRequested();

// Gives the console back as it was before OpenConsole, then the standard
// output held during the show. Does nothing when nothing is changed.
void RestoreConsole();

// Bytes the last PresentConsole that showed a frame wrote.
size_t ConsoleLastFrameBytes();
