#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for about a
# minute each from their seed corpora, lintian on the Debian package, the
# translations, then the unit and end-to-end tests of the development build,
# then every benchmark once, briefly, on the release build. The end-to-end
# tests and the benchmarks start and stop their own virtual displays, window
# manager, buses and servers.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh test

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

# The Debian package from the release build: lintian must find no error in it,
# and the end-to-end tests run its program unpacked.
cmake --preset release >/dev/null
cmake --build --preset release --target package
lintian --fail-on error build/release/packages/orvi-desktop_*.deb
ORVI_E2E_PACKAGE=$(ls "$PWD"/build/release/packages/orvi-desktop_*.deb)
export ORVI_E2E_PACKAGE

cmake --preset dev >/dev/null
cmake --build --preset dev

# Every catalogue is well formed, keeps the placeholders of the English, and
# translates every text of the template the build drew from the sources.
for catalogue in po/*.po; do
    msgfmt --check --output-file=/dev/null "$catalogue"
    msgcmp "$catalogue" build/dev/po/orvi-desktop.pot
done

ctest --preset dev

# Every benchmark in a short run (about a minute in all): each must run and
# print its figures, whatever they are. Timings are judged only by hand.
make -C bench
/usr/bin/python3 bench/smoke.py
