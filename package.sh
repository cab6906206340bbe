#!/usr/bin/env bash
# Builds the Debian package from this clone (installing what it needs) into
# build-package/: a release build without the tests and the benchmarks, then
# CPack. Install it with: sudo apt-get install ./build-package/valdrynix-plim_*.deb
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh --package build-package
rm -f build-package/valdrynix-plim_*.deb
(cd build-package && cpack -G DEB)
ls build-package/valdrynix-plim_*.deb
