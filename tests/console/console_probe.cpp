// For the terminal tests: takes the terminal as demo_console does (with the
// show's palette), shows a
// frame, and at the first key fails as a resource that cannot be read would
// end the show (exit code 255).
#include <unistd.h>

#include <vector>

#include "engine/core/fatal.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console.h"

int main() {
  if (!OpenConsole("console_probe")) return 1;
  ResourceTable::Instance();
  SetUpConsole({.colour = ConsoleColour::Palette});
  const std::vector<Cell> cells(kScreenCells, MakeLiteralCell('#', 0x1E));
  KeyRecord key;
  do {
    PresentConsole(cells.data());
    usleep(10000);
  } while (PollConsoleKeys(&key, 1) == 0);
  Fatal("resource \"%s\" not found\n", "probe.png");
}
