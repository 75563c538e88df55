#!/usr/bin/env bash
# Installs the Debian packages the project needs that are not installed yet; `bench` adds the
# benchmarks' yardsticks.
# Idempotent: with everything present it only checks and exits.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config git
    clang libclang-rt-14-dev clang-format
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libssl-dev libicu-dev zlib1g-dev libzmq3-dev libfmt-dev libcurl4-openssl-dev
    locales python3
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev qtkeychain-qt6-dev
    # "Remember me": the keychain library reaches the Secret Service only through libsecret, which it
    # loads at run time and does not pull in
    libsecret-1-0
    # Qt's own translations (qtbase_*.qm): its standard buttons in the languages it covers
    qt6-translations-l10n
    nlohmann-json3-dev fonts-dejavu-core xvfb xauth poppler-utils
    # the scripts of the twelve languages: Arabic, Bengali, Devanagari (Nepali) and the rest in
    # core, Chinese in CJK; Latin and Cyrillic are DejaVu's
    fonts-noto-core fonts-noto-cjk
)
# Yardsticks for the benchmarks only (`tools/deps.sh bench`); never linked into the programs.
if [ "${1:-}" = "bench" ]; then
    packages+=(libquickfix-dev libqcustomplot-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

# Tests check that number text ignores a process locale with a ',' decimal point.
ensure_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
        echo "deps: generating the de_DE.UTF-8 locale"
        $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
    fi
}

if [ ${#missing[@]} -eq 0 ]; then
    ensure_locale
    exit 0
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
ensure_locale
