# Installs the Debian packages named in its arguments that are missing. Sourced by run.sh and test.sh.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the program needs: compiler, CMake, Qt 6 Widgets and its translation tools (with
# Qt's own Chinese translation), libpci, libsigrok's C++ binding (the meters), GoogleTest, Google
# Benchmark, SQLite and libpq (the results database, each through its own C library), and a CJK font for the window's Chinese texts. libglibmm-2.4-dev is named because
# libsigrokcxx's pkg-config file requires glibmm-2.4 while Debian's libsigrokcxx-dev does not
# depend on it: without it CMake cannot configure on a fresh machine. debian/control's
# Build-Depends names the same list.
BUILD_PACKAGES=(
    g++ cmake make pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev libpci-dev libsigrokcxx-dev libglibmm-2.4-dev
    libsqlite3-dev libpq-dev
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-noto-cjk
)

# What the fuzzers need: clang with libFuzzer and its sanitizer run-times, and llvm-symbolizer
# for readable stack traces.
FUZZ_PACKAGES=(
    clang-14 libclang-rt-14-dev llvm-14
)

# What the tests need beyond building: a real X server and xdotool for the end-to-end test,
# jq and util-linux's unshare for the session record's test, Python's jsonschema for checking
# every JSON the tests make against the schemas, clang-format and clang-tidy for the checks, and
# the fuzzers' tools; PostgreSQL 15's server, which the results tests start in a folder of their
# own (initdb, a Unix socket there), and setpriv (util-linux) to run it as nobody under root.
TEST_PACKAGES=(
    xvfb xauth xdotool xclip jq util-linux python3-jsonschema postgresql-15
    clang-format-14 clang-tidy-14
    "${FUZZ_PACKAGES[@]}"
)

# What scripts/package.sh needs beyond building: the Debian packaging tools and the checkers of
# the package, its menu entry and its metainfo.
PACKAGE_PACKAGES=(
    build-essential debhelper dpkg-dev lintian desktop-file-utils appstream
)

# What scripts/kernel-test.sh needs: QEMU, Debian's kernel (booted in the virtual machine with its
# modules), static busybox for the initramfs, cpio to pack it, and the tools the guest uses on the
# host's root: lspci and setpci, systemd-udevd and udevadm, strace, jq; and for the install test,
# what a bench PC has and the package needs: systemd-sysusers and sudo.
KERNEL_TEST_PACKAGES=(
    qemu-system-x86 linux-image-amd64 busybox-static cpio xz-utils
    pciutils udev strace jq systemd sudo
)
