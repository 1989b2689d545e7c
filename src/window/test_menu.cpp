#include "test_menu.h"

#include "main_window.h"

namespace qm5083::window {

SelfTestDialog::Runner selfTestRunner(MainWindow &window, const commands::CardChoice &card)
{
    return [&window,
            card](const commands::SelfTestSettings &settings,
                  const std::optional<commands::ReportTarget> &target,
                  const commands::CheckShownTo &shown) -> std::optional<commands::SelfTestRun> {
        // Where the result goes is checked before the test, as the report's place is.
        std::unique_ptr<commands::ResultsFiling> filing;
        try {
            filing = window.openResults();
        } catch (const results::ResultsError &error) {
            return commands::refusedResults(settings, error.message(), window.sessionLog());
        }
        auto run = window.runSelfTest(card, settings, target, shown, filing.get());
        window.sendResults(std::move(filing));
        return run;
    };
}

SelfTestDialog::EarlierResults earlierResultsFor(MainWindow &window)
{
    return [&window](const QString &serial) -> commands::EarlierResults {
        try {
            const auto filing = window.openResults();
            return filing ? commands::earlierResultsOf(*filing, serial)
                          : commands::EarlierResults {};
        } catch (const results::ResultsError &error) {
            return {error.message(), false};
        }
    };
}

commands::ResultsHandling resultsHandlingFor(MainWindow &window)
{
    return {[&window] { return window.openResults(); },
            [&window](std::unique_ptr<commands::ResultsFiling> filing) {
                window.sendResults(std::move(filing));
            }};
}

ResultsDialog::Ask todaysResultsFor(MainWindow &window)
{
    return [&window] {
        const auto filing = window.openResults();
        if (!filing)
            throw results::ResultsError(results::ResultsError::Kind::Refused,
                                        MainWindow::tr("no results are kept without a bench"));
        return commands::todaysResults(*filing);
    };
}

void openTestsFromTheMenu(MainWindow &window)
{
    QObject::connect(&window, &MainWindow::selfTestAsked, &window, [&window] {
        const commands::CardChoice card = window.cardInView();
        SelfTestDialog dialog(card, selfTestRunner(window, card), &window,
                              earlierResultsFor(window));
        dialog.exec();
    });
    QObject::connect(&window, &MainWindow::daCheckAsked, &window, [&window] {
        DaCheckDialog dialog(
            window.cardInView(), window.sessionLog(),
            [&window](const std::exception_ptr &failure, const QString &test) {
                window.reportTestFailure(failure, test);
            },
            &window, resultsHandlingFor(window));
        dialog.exec();
    });
    QObject::connect(&window, &MainWindow::resultsAsked, &window, [&window] {
        ResultsDialog dialog(todaysResultsFor(window), &window);
        dialog.exec();
    });
}

} // namespace qm5083::window
