#pragma once

namespace qm5083::window {

// The whole program: reads the command line, chooses the card, locates it, shows the window and
// runs until Exit. main() calls only this.
int runBench(int argc, char *argv[]);

} // namespace qm5083::window
