# Shared by scripts/run and scripts/test: install what is missing, then configure and build.
# Source it; it sets ROOT and BUILD.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TAVELIN_BUILD_DIR:-$ROOT/build}

# Installs the packages of scripts/packages.txt that are not installed yet.
ensure_packages() {
    local wanted missing=()
    wanted=$(grep -v '^\s*#' "$ROOT/scripts/packages.txt" | tr -s ' \n' ' ')
    for p in $wanted; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures (once) and builds everything.
build_all() {
    local generator=()
    command -v ninja >/dev/null && [ ! -f "$BUILD/CMakeCache.txt" ] && generator=(-G Ninja)
    cmake -S "$ROOT" -B "$BUILD" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TAVELIN_CMAKE_ARGS:-}
    cmake --build "$BUILD" --parallel "$(nproc)"
}

# WebEngine's Chromium refuses to start as root unless its sandbox is off.
webengine_as_root() {
    [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
    return 0
}
