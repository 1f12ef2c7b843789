#!/usr/bin/env bash
# catalogue_wine.sh EMULATOR PROGRAM DEMO_DIR OUT: the Windows console
# program under Wine makes a catalogue of the demo packages, and fetches it
# and a package through WinHTTP from a local server on 127.0.0.1 (signed by
# signify-openbsd, verified by libgcrypt): check, update, and refusals.
set -uo pipefail
emulator=$1 program=$2 demo=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" && mkdir -p "$out/site" && cd "$out" || exit 1
cp "$demo/demo_stream.dat" "$demo/demo_block.dat" site/
# Each run with a catalogue memory of its own unless STATE names one (a
# relative path: Wine's working folder is this one).
run() {
    CONTROLLER_UPDATER_STATE="${STATE:-state-$BASHPID.json}" "$emulator" "$program" "$@" 2>&1 </dev/null
}
failed=0
expect() {  # expect CODE PATTERN ARGS...
    local code=$1 pattern=$2
    shift 2
    local output actual
    output=$(run "$@"); actual=$?
    printf '%s\n' "$output"
    if [[ $actual != "$code" ]] || ! grep -Eq -- "$pattern" <<<"$output"; then
        echo "FAIL ($*): exit $actual, expected $code and /$pattern/"
        failed=1
    fi
}
cat >site/notes.json <<'NOTES'
{"demo_block.dat": {"for": {"family": "block", "usb": ["5a3c:4c21"], "deviceTypes": [20753]}},
 "demo_stream.dat": {"for": {"family": "stream", "usb": ["0483:5750"]}}}
NOTES
expect 0 "2 packages" catalogue make site --repository test
signify-openbsd -G -n -p a.pub -s a.sec -c "test key" &&
    signify-openbsd -S -s a.sec -m site/catalogue.json -x site/catalogue.json.sig || exit 1
# At the 4 MiB cap: signify signs what the program checks, and the program
# signs what signify checks.
{ cat site/catalogue.json; head -c $(((4 << 20) - $(stat -c %s site/catalogue.json))) /dev/zero | tr '\0' ' '; } \
    >site/full.json
signify-openbsd -S -s a.sec -m site/full.json -x site/full.json.sig || exit 1
cp site/full.json site/fullours.json
expect 0 "signed with " catalogue sign site/fullours.json --key a.sec
signify-openbsd -V -q -p a.pub -m site/fullours.json -x site/fullours.json.sig ||
    { echo "FAIL: signify refuses the program's signature"; failed=1; }
python3 - <<'PY'
import json
c = json.load(open("site/catalogue.json"))
for name, change in (("missing", "nothere.dat"), ("redirect", "redirect-ftp.dat"), ("stallpkg", "stall.dat"),
                     ("trickle", "trickle.dat")):
    d = json.loads(json.dumps(c))
    d["packages"] = [p for p in d["packages"] if p["file"] == "demo_stream.dat"]
    d["packages"][0]["file"] = change
    json.dump(d, open(f"site/{name}.json", "w"))
PY
for name in missing redirect stallpkg trickle; do
    signify-openbsd -S -s a.sec -m "site/$name.json" -x "site/$name.json.sig" || exit 1
done
python3 "$here/../cli/catalogue_server.py" site port >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
for _ in $(seq 100); do [[ -s port ]] && break; sleep 0.05; done
url="http://127.0.0.1:$(cat port)"
expect 10 "signed by key" check --simulate=stream --catalogue "$url/catalogue.json" --trust a.pub
expect 10 "full.json: 2 packages, signed by key" check --simulate=stream --catalogue "$url/full.json" --trust a.pub
expect 0 "firmware updated" update --simulate=block --yes --catalogue "$url/catalogue.json" --trust a.pub
expect 6 "answered 404" check --simulate=stream --catalogue "$url/nothere.json"
expect 4 "answered 404.*Nothing was sent" update --simulate=stream --yes --catalogue "$url/missing.json" --trust a.pub
expect 4 "only http and https" update --simulate=stream --yes --catalogue "$url/redirect.json" --trust a.pub
expect 4 "stalled" update --simulate=stream --yes --stall-timeout 1 --catalogue "$url/stallpkg.json" --trust a.pub
expect 4 "took longer than 3 s" update --simulate=stream --yes --stall-timeout 1 --catalogue "$url/trickle.json" --trust a.pub
expect 10 "mirror $url/nowhere/catalogue.json skipped: .*answered 404" \
    check --simulate=stream --catalogue "$url/catalogue.json" --mirror "$url/nowhere" --trust a.pub
# The memory: once version 2 is seen, version 1 is refused and the state
# file stays as it was.
cp site/catalogue.json site/older.json && cp site/catalogue.json.sig site/older.json.sig
expect 0 "test version 2" catalogue make site
signify-openbsd -S -s a.sec -m site/catalogue.json -x site/catalogue.json.sig || exit 1
STATE=memory.json expect 10 "test version 2" check --simulate=stream --catalogue "$url/catalogue.json" --trust a.pub
cp memory.json memory-seen.json
STATE=memory.json expect 6 "older than the catalogue already seen .version 2." \
    check --simulate=stream --catalogue "$url/older.json" --trust a.pub
cmp memory.json memory-seen.json || { echo "FAIL: the state changed"; failed=1; }
exit $failed
