#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and tools need, when missing.
# wine64 only: these machines cannot run 32-bit code, so wine32 is never installed.
set -euo pipefail

packages=(
    cmake make g++ python3 pkg-config
    g++-mingw-w64-i686-win32 binutils-mingw-w64-i686       # the 32-bit product
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64    # the 64-bit build, run under Wine
    wine wine64 fonts-wine socat                            # Windows tests over virtual cables
    googletest libgtest-dev                                 # unit and end-to-end tests
    libpng-dev                                              # the virtual display's pictures
    libbenchmark-dev                                        # make bench
    clang libclang-rt-14-dev                                # libFuzzer and the sanitizers' runtime
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q "${missing[@]}"
