#pragma once

#include "da_check_dialog.h"
#include "results_dialog.h"
#include "self_test_dialog.h"

namespace qm5083::window {

class MainWindow;

// Opens the self-test, the DA check and today's results when the window's menu asks for them,
// each handed what it works on: the card the window shows, the session record, the window's way
// of running one operation, of reporting a failure and of filing a result.
void openTestsFromTheMenu(MainWindow &window);

// What the menu hands each dialog, apart so that the tests drive the dialogs as the menu opens
// them. The self-test of card run by window, its result stored where the window's command line
// says (a results database that cannot be used refuses the test) and then sent.
SelfTestDialog::Runner selfTestRunner(MainWindow &window, const commands::CardChoice &card);
// A serial's earlier results, from the window's results database.
SelfTestDialog::EarlierResults earlierResultsFor(MainWindow &window);
// How the DA check files its results, through the window.
commands::ResultsHandling resultsHandlingFor(MainWindow &window);
// Today's results, from the window's results database.
ResultsDialog::Ask todaysResultsFor(MainWindow &window);

} // namespace qm5083::window
