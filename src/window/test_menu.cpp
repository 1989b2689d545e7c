#include "test_menu.h"

#include "da_check_dialog.h"
#include "main_window.h"
#include "self_test_dialog.h"

namespace qm5083::window {

void openTestsFromTheMenu(MainWindow &window)
{
    QObject::connect(&window, &MainWindow::selfTestAsked, &window, [&window] {
        const commands::CardChoice card = window.cardInView();
        SelfTestDialog dialog(
            card,
            [&window,
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
            },
            &window);
        dialog.exec();
    });
    QObject::connect(&window, &MainWindow::daCheckAsked, &window, [&window] {
        DaCheckDialog dialog(window.cardInView(), window.sessionLog(),
                             [&window](const std::exception_ptr &failure, const QString &test) {
                                 window.reportTestFailure(failure, test);
                             },
                             &window,
                             {[&window] { return window.openResults(); },
                              [&window](std::unique_ptr<commands::ResultsFiling> filing) {
                                  window.sendResults(std::move(filing));
                              }});
        dialog.exec();
    });
}

} // namespace qm5083::window
