#!/usr/bin/env bash
# Makes the PostgreSQL cluster the results tests start their servers from, once for the whole
# run (initdb takes a second; a copy of its folder a tenth of that): DIR, owned by the user the
# servers run as (nobody, when the tests run as root, since the server refuses root).
set -euo pipefail
dir=$1
bin=/usr/lib/postgresql/15/bin
if [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL 15 is not installed: scripts/deps.sh's TEST_PACKAGES name it" >&2
    exit 1
fi
rm -rf "$dir"
mkdir -p "$dir"
as=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$dir"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
cd /
"${as[@]}" "$bin/initdb" -D "$dir/data" -U qm5083 --auth=trust --no-locale -E UTF8 --no-sync >/dev/null
echo "PostgreSQL cluster made in $dir/data"
