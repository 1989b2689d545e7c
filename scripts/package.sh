#!/usr/bin/env bash
# Builds the Debian package the Debian way (dpkg-buildpackage on debian/, with debhelper) from a
# clean copy of the sources in build-deb/, then checks it: lintian on the package and on its
# source (no error, no warning), desktop-file-validate on the menu entry and appstreamcli on the
# metainfo, both as installed in the package.
#
# Usage: scripts/package.sh     (any Debian 12 machine; installs what it needs when missing)
# Leaves build-deb/qm5083-bench_<version>_<arch>.deb, the file to copy to the bench PCs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

version=$(dpkg-parsechangelog -S Version)
out=$PWD/build-deb
tree=$out/qm5083-bench-$version
rm -rf "$out"
mkdir -p "$tree"
# The sources alone: no build tree, no VCS, so that the source package is what a packager gets.
tar -c --exclude='./build*' --exclude=./.git --exclude=./.cache . | tar -x -C "$tree"

(cd "$tree" && dpkg-buildpackage -us -uc --build=source,binary >"$out/build.log" 2>&1) || {
    tail -n 40 "$out/build.log" >&2
    echo "package: dpkg-buildpackage failed; the whole log is in $out/build.log" >&2
    exit 1
}
deb=$(find "$out" -maxdepth 1 -name "qm5083-bench_${version}_*.deb")
dsc=$out/qm5083-bench_$version.dsc
echo "package: $(basename "$deb"), $(du -h "$deb" | cut -f1)"

# Errors and warnings fail; lintian's information and pedantic tags are shown, not counted.
lintian --fail-on error,warning --info --display-info "$deb" "$dsc"
echo "lintian: no errors or warnings"

unpacked=$out/unpacked
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$unpacked"/usr/share/metainfo/*.metainfo.xml
