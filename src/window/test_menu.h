#pragma once

namespace qm5083::window {

class MainWindow;

// Opens the self-test and the DA check when the window's menu asks for them, each handed what it
// works on: the card the window shows, the session record, and the window's way of running one
// operation and of reporting a failure.
void openTestsFromTheMenu(MainWindow &window);

} // namespace qm5083::window
