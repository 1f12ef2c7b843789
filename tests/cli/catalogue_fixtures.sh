#!/usr/bin/env bash
# catalogue_fixtures.sh PROGRAM DEMO_DIR OUT: catalogues of the demo
# packages in OUT/site, sound and broken in each way the tests need, keys
# made by signify-openbsd, remembered states (OUT/*.state), and a local
# server for them (OUT/port, OUT/server.pid).
# Checks both directions of signify interoperability on the way.
set -euo pipefail
program=$1 demo=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
[[ -f $out/server.pid ]] && kill "$(cat "$out/server.pid")" 2>/dev/null || true
rm -rf "$out" && mkdir -p "$out/site"
site=$out/site
cp "$demo/demo_stream.dat" "$demo/demo_block.dat" "$site/"
# The block package's revisions above the stream one's (r3): a stream
# controller offered the block package would take it as the newest.
python3 - "$site/demo_block.dat" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while at + 28 <= len(data):
    struct.pack_into("<I", data, at + 20, 7)
    at += 28 + struct.unpack_from("<I", data, at + 8)[0]
open(sys.argv[1], "wb").write(data)
PY
mkdir -p "$out/unbound" && cp "$demo/demo_stream.dat" "$out/unbound/"
for f in floored-keep floored-lower; do
    "$program" catalogue make "$out/unbound" --repository t --family stream --usb 0483:5750 --floor 1.41 \
        --output "$out/$f.json" >/dev/null
done
cat >"$site/notes.json" <<'NOTES'
{"demo_block.dat": {"channel": "stable", "date": "2026-12-01", "en": "Block fixes", "zh": "修复",
                    "for": {"family": "block", "usb": ["5a3c:4c21"], "deviceTypes": [20753]}},
 "demo_stream.dat": {"for": {"family": "stream", "usb": ["0483:5750", "5a3c:5750"]}}}
NOTES
"$program" catalogue make "$site" --repository test --output "$site/good.json"
# shellcheck source=tests/cli/fixture_key.sh
. "$here/fixture_key.sh"
for k in a b; do fixture_key "$out" $k "test key $k"; done

# signify signs, we verify (the tests); we sign, signify verifies (here).
signify-openbsd -S -s "$out/a.sec" -m "$site/good.json" -x "$site/good.json.sig"
cp "$site/good.json" "$site/ours.json"
"$program" catalogue sign "$site/ours.json" --key "$out/a.sec"
signify-openbsd -V -q -p "$out/a.pub" -m "$site/ours.json" -x "$site/ours.json.sig"

# The same both ways at the size cap, far past the 64 KiB that libgcrypt's
# S-expressions carry.
{ cat "$site/good.json"; head -c $(((4 << 20) - $(stat -c %s "$site/good.json"))) /dev/zero | tr '\0' ' '; } \
    >"$site/full.json"
signify-openbsd -S -s "$out/a.sec" -m "$site/full.json" -x "$site/full.json.sig"
cp "$site/full.json" "$site/fullours.json"
"$program" catalogue sign "$site/fullours.json" --key "$out/a.sec"
signify-openbsd -V -q -p "$out/a.pub" -m "$site/fullours.json" -x "$site/fullours.json.sig"

variant() {  # variant NAME PYTHON-EXPRESSION-ON-c
    python3 - "$site/good.json" "$site/$1.json" "$2" <<'PY'
import json, sys
c = json.load(open(sys.argv[1]))
stream = next(p for p in c["packages"] if p["file"] == "demo_stream.dat")
exec(sys.argv[3])
json.dump(c, open(sys.argv[2], "w"))
PY
}
variant format1 'c["format"] = 1'
variant scheme 'stream["file"] = "ftp://127.0.0.1/demo_stream.dat"'
variant redirect 'stream["file"] = "redirect-ftp.dat"'
variant missing 'stream["file"] = "nothere.dat"'
variant stallpkg 'stream["file"] = "stall.dat"'
variant size 'stream["size"] += 1'
variant hash 'stream["sha256"] = ("0" if stream["sha256"][0] != "0" else "1") + stream["sha256"][1:]'
variant records 'stream["records"][0]["desVersion"] = 503'
variant beta 'stream["channel"] = "beta"'
variant current 'stream["records"][0]["desVersion"] = 137'
variant many 'c["packages"] = [{}] * 100000'
variant streamonly 'c["packages"] = [stream]'
variant othermodel 'stream["for"]["models"] = [999]'
variant longer 'stream["file"] = "demo_stream-longer.dat"'
variant floor 'c["floors"] = [{"for": stream["for"], "version": 141}, {"for": stream["for"], "version": 139}]'
variant trickle 'stream["file"] = "trickle.dat"'
printf '{"format": 2, "packages": [' >"$site/malformed.json"
{ cat "$site/good.json"; head -c $((50 << 20)) /dev/zero | tr '\0' ' '; } >"$site/big.json"

# Signed by key a, as a maintainer's catalogues are; not nosig.json, nor
# many.json (libgcrypt 1.10 aborts verifying a message past about 64 KB).
cp "$site/good.json" "$site/slowsig.json"
for f in format1 scheme redirect missing stallpkg size hash records beta current malformed streamonly othermodel longer floor trickle; do
    signify-openbsd -S -s "$out/a.sec" -m "$site/$f.json" -x "$site/$f.json.sig"
done

cp "$site/good.json" "$site/untrusted.json"
signify-openbsd -S -s "$out/b.sec" -m "$site/untrusted.json" -x "$site/untrusted.json.sig"
{ cat "$site/good.json"; echo; } >"$site/tampered.json"
cp "$site/good.json.sig" "$site/tampered.json.sig"
cp "$site/good.json" "$site/truncated.json"
head -c 60 "$site/good.json.sig" >"$site/truncated.json.sig"
cp "$site/good.json" "$site/nosig.json"
cp "$site/good.json" "$site/sigerror.json"  # its .sig: a server error

# A series for the catalogue memory: version 2 after good.json, a version 2
# with other contents, one that expired 199 days ago and one with 13 days
# left; each signed with key a. State files that have seen version 2, and
# one that is no state at all.
cp "$site/good.json" "$site/newer.json"
"$program" catalogue make "$site" --output "$site/newer.json"
sed 's/Block fixes/Block fixes, again/' "$site/newer.json" >"$site/replaced.json"
# libfaketime is preloaded ahead of a sanitizer's runtime.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 faketime -f '-200d' "$program" catalogue make "$site" --repository test --expires 1 --output "$site/expired.json"
"$program" catalogue make "$site" --repository test --expires 13 --output "$site/expiring.json"
for c in newer replaced expired expiring; do
    signify-openbsd -S -s "$out/a.sec" -m "$site/$c.json" -x "$site/$c.json.sig"
done
# Mirror folders holding cat.json: v1 good.json's without its packages, v2
# newer.json's with them, old/ expired.json's.
for m in v1:good v2:newer old:expired; do
    mkdir -p "$site/${m%%:*}"
    cp "$site/${m#*:}.json" "$site/${m%%:*}/cat.json"
    cp "$site/${m#*:}.json.sig" "$site/${m%%:*}/cat.json.sig"
done
cp "$site"/demo_*.dat "$site/v2/"
CONTROLLER_UPDATER_STATE=$out/seen-v2.state "$program" check --simulate=none --catalogue "$site/newer.json" \
    --trust "$out/a.pub" >/dev/null 2>&1 || true
grep -q '"version": 2' "$out/seen-v2.state"
printf 'not a state\n' >"$out/garbage.state"
# make writes the floor --floor gives, for the controllers the options name.
"$program" catalogue make "$site" --repository test --family stream --usb 0483:5750 --floor 1.41b2 \
    --output "$out/floored.json" >/dev/null
python3 -c 'import json, sys; assert json.load(open(sys.argv[1]))["floors"] == [{"for": {"family": "stream", "usb": ["0483:5750"]}, "version": 2 << 16 | 141}]' "$out/floored.json"
# More packages than a reader takes: 10,001 of four image bytes each.
python3 - "$demo/demo_stream.dat" "$out/huge" <<'PY'
import os, struct, sys
header = bytearray(open(sys.argv[1], "rb").read(28))
struct.pack_into("<I", header, 8, 4)  # image size
os.makedirs(sys.argv[2])
for i in range(10001):
    open(os.path.join(sys.argv[2], f"p{i:05}.dat"), "wb").write(header + struct.pack("<I", i))
PY

"$here/key_chain_fixtures.sh" "$program" "$out"

python3 "$here/catalogue_server.py" "$site" "$out/port" >/dev/null 2>&1 &
echo $! >"$out/server.pid"
for _ in $(seq 100); do [[ -s $out/port ]] && break; sleep 0.05; done
[[ -s $out/port ]]
