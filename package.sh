#!/usr/bin/env bash
# Builds the Debian package from this clone (installing what it needs) into
# build-package/: a release build without the tests and the benchmarks, then
# CPack. Install it with: sudo apt-get install ./build-package/valdrynix-plim_*.deb
set -euo pipefail
cd "$(dirname "$0")"
# One time for the whole package, whenever and wherever it is built: the last commit's, or
# outside a clone the date of the changelog's newest entry. CPack dates the packaged files
# with it, and Qt's resource compiler the pictures in the program, which would otherwise
# carry the time this checkout was made.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null ||
    date -d "$(sed -n 's/^ -- .*>  //p' packaging/changelog | head -n 1)" +%s)
  export SOURCE_DATE_EPOCH
fi
scripts/setup.sh --package build-package
rm -f build-package/valdrynix-plim_*.deb
(cd build-package && cpack -G DEB)
ls build-package/valdrynix-plim_*.deb
