#pragma once

#include "results_command.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;

namespace qm5083::window {

// 测试 → 结果 (Results)…: today's yield of the station (by station, for a line's database) and
// the Pareto chart of today's problems, asked of the results database when the dialog opens and
// on Refresh.
class ResultsDialog final : public QDialog
{
    Q_OBJECT

public:
    // Asks the results database for today's results; throws results::ResultsError.
    using Ask = std::function<commands::TodaysResults()>;

    explicit ResultsDialog(Ask ask, QWidget *parent = nullptr);

private:
    void refresh();

    Ask ask_;
    QLabel *database_;
    QListWidget *yield_;
    QLabel *pareto_;
};

} // namespace qm5083::window
