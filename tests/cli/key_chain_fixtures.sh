#!/usr/bin/env bash
# key_chain_fixtures.sh PROGRAM OUT: catalogues judged by a key chain, in
# OUT/site/<case>/ with their keys/N.keys.json, for roots OUT/r1..r3.pub
# (2 of 3). Key sets are written by `catalogue keys init/rotate`; signatures
# are made by signify-openbsd and by `catalogue sign`, and each of ours is
# checked by signify-openbsd -V on the way.
set -euo pipefail
program=$1 out=$2
site=$out/site
# shellcheck source=tests/cli/fixture_key.sh
. "$(dirname "$0")/fixture_key.sh"
for k in r1 r2 r3 r4 r5 c1 c2; do fixture_key "$out" $k "chain key $k"; done

sign() {  # sign FILE KEY... : our signatures, each checked by signify-openbsd
    local file=$1; shift
    local keys=()
    for k in "$@"; do keys+=(--key "$out/$k.sec"); done
    "$program" catalogue sign "$file" "${keys[@]}" >/dev/null
    local parts; parts=$(mktemp -d)
    split -l 2 "$file.sig" "$parts/part."
    for k in "$@"; do
        local ok=""
        for p in "$parts"/part.*; do
            signify-openbsd -V -q -p "$out/$k.pub" -m "$file" -x "$p" 2>/dev/null && ok=1
        done
        [[ -n $ok ]] || { echo "signify-openbsd does not verify $k's signature of $file"; exit 1; }
    done
    rm -r "$parts"
}

# chain: 1 (roots r1 r2 r3, catalogue c1), then 2 (roots r3 r4 r5, catalogue
# c2: c1 revoked), the catalogue signed by c2 with signify-openbsd.
chain=$site/chain
mkdir -p "$chain"
cp "$site/good.json" "$chain/catalogue.json"
cp "$site"/demo_*.dat "$chain/"
"$program" catalogue keys init "$chain/keys" --root "$out/r1.pub" --root "$out/r2.pub" --root "$out/r3.pub" \
    --catalogue-key "$out/c1.pub" >/dev/null
signify-openbsd -S -s "$out/r1.sec" -m "$chain/keys/1.keys.json" -x "$chain/keys/1.keys.json.sig"
sign "$chain/keys/1.keys.json" r2
"$program" catalogue keys rotate "$chain/keys" --root "$out/r3.pub" --root "$out/r4.pub" --root "$out/r5.pub" \
    --catalogue-key "$out/c2.pub" >/dev/null
sign "$chain/keys/2.keys.json" r1 r2 r4 r5
signify-openbsd -S -s "$out/c2.sec" -m "$chain/catalogue.json" -x "$chain/catalogue.json.sig"

variant() {  # variant NAME: a copy of chain
    rm -rf "${site:?}/$1" && cp -r "$chain" "$site/$1"
}
variant revoked
signify-openbsd -S -s "$out/c1.sec" -m "$site/revoked/catalogue.json" -x "$site/revoked/catalogue.json.sig"
variant oldshort
rm "$site/oldshort/keys/2.keys.json.sig" && sign "$site/oldshort/keys/2.keys.json" r1 r4 r5
variant gap
mv "$site/gap/keys/2.keys.json" "$site/gap/keys/3.keys.json" && mv "$site/gap/keys/2.keys.json.sig" "$site/gap/keys/3.keys.json.sig"
variant expired
python3 - "$site/expired/keys/2.keys.json" <<'PY'
import sys
path = sys.argv[1]
text = open(path).read()
start = text.index('"expires": "') + len('"expires": "')
open(path, "w").write(text[:start] + "2020-01-01T00:00:00Z" + text[start + 20:])
PY
rm "$site/expired/keys/2.keys.json.sig" && sign "$site/expired/keys/2.keys.json" r1 r2 r4 r5
# The root keys sign key sets only, the catalogue keys catalogues: served as
# each other, the signature is not the one asked for.
variant keysascatalogue
cp "$chain/keys/2.keys.json" "$site/keysascatalogue/catalogue.json"
cp "$chain/keys/2.keys.json.sig" "$site/keysascatalogue/catalogue.json.sig"
# A key that is root and catalogue key alike (1 of 1): the type tells them apart.
for name in same keysassame; do
    mkdir -p "$site/$name" && cp "$site/good.json" "$site/$name/catalogue.json"
    "$program" catalogue keys init "$site/$name/keys" --root "$out/r1.pub" --root-threshold 1 \
        --catalogue-key "$out/r1.pub" >/dev/null
    sign "$site/$name/keys/1.keys.json" r1
done
cp "$site/same/keys/1.keys.json" "$site/keysassame/catalogue.json"
sign "$site/keysassame/catalogue.json" r1
cp "$site/good.json" "$site/same/keys/2.keys.json"
sign "$site/same/keys/2.keys.json" r1
# A mirror that hides key set 2 (which revoked c1) and serves a catalogue
# that the stolen c1 signed with a huge version, to a program that has seen
# key set 2.
variant hidden
rm "$site/hidden/keys/2.keys.json" "$site/hidden/keys/2.keys.json.sig"
python3 - "$site/hidden/catalogue.json" <<'PY'
import json, sys
c = json.load(open(sys.argv[1]))
c["version"] = 1000000
json.dump(c, open(sys.argv[1], "w"))
PY
signify-openbsd -S -s "$out/c1.sec" -m "$site/hidden/catalogue.json" -x "$site/hidden/catalogue.json.sig"
CONTROLLER_UPDATER_STATE=$out/seen-keys2.state "$program" check --simulate=none --catalogue "$chain/catalogue.json" \
    --trust-root "$out/r1.pub" --trust-root "$out/r2.pub" --trust-root "$out/r3.pub" >/dev/null || true
grep -q '"keySetVersion": 2' "$out/seen-keys2.state"
grep -q '"keyChains"' "$out/seen-keys2.state"
# The same memory without the key set itself (one too large to keep).
python3 - "$out/seen-keys2.state" "$out/seen-keys2-number.state" <<'PY'
import json, sys
state = json.load(open(sys.argv[1]))
del state["keyChains"]
json.dump(state, open(sys.argv[2], "w"))
PY
# Root keys r1 and r2, rotated out by key set 2, stolen later: they sign a
# key set 2 of their own, with the thief's catalogue key c1.
variant forged
rm "$site/forged/keys/2.keys.json" "$site/forged/keys/2.keys.json.sig"
"$program" catalogue keys rotate "$site/forged/keys" --root "$out/r1.pub" --root "$out/r2.pub" --root "$out/r3.pub" \
    --catalogue-key "$out/c1.pub" >/dev/null
sign "$site/forged/keys/2.keys.json" r1 r2
cp "$site/hidden/catalogue.json" "$site/hidden/catalogue.json.sig" "$site/forged/"
