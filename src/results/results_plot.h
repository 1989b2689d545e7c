#pragma once

#include "results_queries.h"

#include <QByteArray>
#include <QString>

namespace qm5083::results {

// The yield's picture: for each group (each day, for yield over time), the first-pass and the
// final yield as bars from 0 to 100 %, with the cards tested under them. SVG or PNG, as the
// file's name ends. Needs a QGuiApplication (fonts).
QByteArray yieldPicture(const YieldAnswer &answer, const QString &title, const QString &fileName);

// The Pareto chart: each problem code's count as a bar, most frequent first, and the cumulative
// share as a line against 0 to 100 % on the right.
QByteArray paretoPicture(const std::vector<ParetoEntry> &entries, const QString &title,
                         const QString &fileName);

} // namespace qm5083::results
