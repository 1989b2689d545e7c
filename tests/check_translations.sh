#!/usr/bin/env bash
# Every text marked for translation in the code has a Chinese translation: lupdate is run over the
# sources into a copy of the translation source, which must come out with nothing unfinished.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/src/reports/translations/qm5083_zh_CN.ts" "$work/check.ts"
/usr/lib/qt6/bin/lupdate -tr-function-alias QT_TRANSLATE_NOOP+=QM5083_MESSAGE -locations none \
    -no-obsolete -target-language zh_CN "$root/src" -ts "$work/check.ts" >/dev/null 2>&1
untranslated=$(grep -c 'type="unfinished"' "$work/check.ts" || true)
if [ "$untranslated" -ne 0 ]; then
    echo "FAIL: $untranslated texts have no Chinese translation; run scripts/update-translations.sh" >&2
    grep -B2 'type="unfinished"' "$work/check.ts" | grep '<source>' >&2
    exit 1
fi
echo "every marked text has its Chinese translation"
