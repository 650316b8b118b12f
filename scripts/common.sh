# Shared by scripts/run, scripts/test and scripts/bench. Sourced, not run.
KESTROVA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages of scripts/packages.txt (plus any given) that are missing.
ensure_packages() {
    local wanted missing=() pkg
    wanted=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$KESTROVA_ROOT/scripts/packages.txt")
    for pkg in $wanted "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Please install as root: apt-get install ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq || return 1
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}

# configure_and_build DIR [cmake args...]: incremental configure and build.
configure_and_build() {
    local dir=$1; shift
    cmake -S "$KESTROVA_ROOT" -B "$dir" "$@" >/dev/null || return 1
    cmake --build "$dir" -j"$(nproc)" || return 1
}
