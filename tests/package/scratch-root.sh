#!/usr/bin/env bash
# Makes the Debian packages from a build, unpacks the time clock's package into a scratch root
# and runs the unpacked timeclock there: its version, then one scripted punch on a new database.
# The program must take its libraries and component from the scratch root, never from the build.
#   scratch-root.sh BUILD_FOLDER VERSION CPACK
set -euo pipefail
build=$1 version=$2 cpack=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/packages" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
dpkg-deb -x "$scratch"/packages/stampkind_"$version"-1_*.deb "$scratch/root"
timeclock=$scratch/root/usr/bin/timeclock

fail() { echo "FAIL: $*" >&2; exit 1; }
unset LD_LIBRARY_PATH
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config \
       STAMPKIND_REGISTRY=$scratch/registry.json

[[ "$("$timeclock" --version)" == "timeclock $version" ]] || fail "version is not $version"
libraries=$(ldd "$timeclock")
for library in libstampkind_platform.so.1 liborvane_framework.so.1; do
    grep -q "$library => $scratch/root/" <<<"$libraries" || fail "$library not from the scratch root"
done

db=$scratch/clock.db
"$timeclock" employee add --db "$db" --card 1001 --name "Avery Stone" >/dev/null
punch=$("$timeclock" punch --db "$db" --card 1001 --now "2026-12-04 08:00:00" --no-pause \
    --keys "1 ENTER")
grep -q '"fields":{"Punch Type":"I","Date In":"2026-12-04T00:00:00","Time In":"1899-12-30T08:00:00"}' \
    <<<"$punch" || fail "unexpected punch: $punch"
grep -q "\"$scratch/root/usr/lib/[^\"]*/stampkind/libstampkind.so\"" "$STAMPKIND_REGISTRY" ||
    fail "the registry does not name the unpacked component"
echo "ok: timeclock $version from $scratch/root punched in"
