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
            [&window, card](const commands::SelfTestSettings &settings,
                            const std::optional<commands::ReportTarget> &target,
                            const commands::CheckShownTo &shown) {
                return window.runSelfTest(card, settings, target, shown);
            },
            &window);
        dialog.exec();
    });
    QObject::connect(&window, &MainWindow::daCheckAsked, &window, [&window] {
        DaCheckDialog dialog(
            window.cardInView(), window.sessionLog(),
            [&window](const std::exception_ptr &failure, const QString &test) {
                window.reportTestFailure(failure, test);
            },
            &window);
        dialog.exec();
    });
}

} // namespace qm5083::window
