#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: when
# everything is already there it only checks and returns.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/packages.txt")

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The country-code tests compare against a generated German locale.
generate_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
        $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
    fi
}

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    generate_locale
    bash "$here/oracles.sh"
    exit 0
fi

# FAAC lives in Debian's non-free component ("non-free-firmware" is another one).
enable_non_free() {
    local f=/etc/apt/sources.list.d/debian.sources
    if [ -f "$f" ] && ! grep -qE '^Components:(.*[[:space:]])?non-free([[:space:]]|$)' "$f"; then
        $sudo sed -i -E 's/^(Components:.*\bmain\b)(.*)$/\1 non-free\2/' "$f"
    fi
    if [ -f /etc/apt/sources.list ] && grep -qE '^deb .*debian' /etc/apt/sources.list \
            && ! grep -qE '^deb .*[[:space:]]non-free([[:space:]]|$)' /etc/apt/sources.list; then
        $sudo sed -i -E '/^deb .*debian/ s/ main( |$)/ main non-free\1/' /etc/apt/sources.list
    fi
}
enable_non_free

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
generate_locale
bash "$here/oracles.sh"
