#!/usr/bin/env bash
# Brings the translation sources in src/reports/translations/ up to date with the texts marked in
# the code: tr() in the window, the reports and the commands, QM5083_MESSAGE in the libraries
# below them. Translate what is new (e.g. with Qt Linguist), then commit the .ts file; the build
# turns it into the .qm it embeds.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages qt6-l10n-tools
/usr/lib/qt6/bin/lupdate -tr-function-alias QT_TRANSLATE_NOOP+=QM5083_MESSAGE -locations none \
    -no-obsolete -target-language zh_CN src -ts src/reports/translations/qm5083_zh_CN.ts 2>&1 |
    grep -v "lacks Q_OBJECT macro"
