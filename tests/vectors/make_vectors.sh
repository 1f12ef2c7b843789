#!/usr/bin/env bash
# make_vectors.sh PROGRAM DEMO_DIR OUT: the catalogue's attack vectors.
# OUT/site holds catalogues, packages and key chains (catalogue_fixtures.sh
# and key_chain_fixtures.sh, and the rest here in OUT/site/v), OUT/*.pub the
# keys, OUT/*.state remembered states, and OUT/vectors.tsv the table every
# runner reads (see docs/catalogue.md). A local server serves OUT/site
# (OUT/port, OUT/server.pid).
set -euo pipefail
program=$1 demo=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
"$here/../cli/catalogue_fixtures.sh" "$program" "$demo" "$out"
site=$out/site v=$out/site/v
url="http://127.0.0.1:$(cat "$out/port")"
mkdir -p "$v"
cp "$site"/demo_*.dat "$v/"
for k in r6 r7 c3 c4; do signify-openbsd -G -n -p "$out/$k.pub" -s "$out/$k.sec" -c "vector key $k"; done

sign() {  # sign FILE KEY...: signify's signature by each key, one after another in FILE.sig
    local file=$1; shift
    : >"$file.sig"
    for k in "$@"; do
        signify-openbsd -S -s "$out/$k.sec" -m "$file" -x "$file.one"
        cat "$file.one" >>"$file.sig"
    done
    rm "$file.one"
}
listing() {  # listing NAME PYTHON-ON-stream: good.json changed, in v/NAME.json, signed by a
    python3 - "$site/good.json" "$v/$1.json" "$2" <<'PY'
import json, sys
c = json.load(open(sys.argv[1]))
stream = next(p for p in c["packages"] if p["file"] == "demo_stream.dat")
exec(sys.argv[3])
json.dump(c, open(sys.argv[2], "w"))
PY
    sign "$v/$1.json" a
}
# Where a package lies: only a plain path inside the catalogue's folder, or
# an http(s) URL, whose bytes the listing still decides.
listing dotdot 'stream["file"] = "../demo_stream.dat"'
listing absolute 'stream["file"] = "/demo_stream.dat"'
listing backslash 'stream["file"] = "v\\..\\demo_stream.dat"'
listing nul 'stream["file"] = "demo_stream.dat\0.txt"'
listing urlnul "stream['file'] = '$url/v/demo_stream.dat\0.txt'"
listing otherhost "stream['file'] = 'http://localhost:$(cat "$out/port")/demo_block.dat'"
listing redirecthost 'stream["file"] = "redirect-host.dat"'

chain() {  # chain NAME: a copy of the key chain fixtures' chain, in v/NAME
    rm -rf "${v:?}/$1" && cp -r "$site/chain" "$v/$1"
}
# Key set 2 signed twice by one old root key, or by one new one (signify's
# signatures one after another: `catalogue sign` signs once per key).
chain oldtwice && sign "$v/oldtwice/keys/2.keys.json" r1 r1 r4 r5
chain newtwice && sign "$v/newtwice/keys/2.keys.json" r1 r2 r4 r4
# Four rotations from the roots r1 r2 r3: 3 and 4 change every root again.
chain chain4
"$program" catalogue keys rotate "$v/chain4/keys" --root "$out/r5.pub" --root "$out/r6.pub" --root "$out/r7.pub" \
    --catalogue-key "$out/c3.pub" >/dev/null
sign "$v/chain4/keys/3.keys.json" r4 r5 r6 r7
"$program" catalogue keys rotate "$v/chain4/keys" --root "$out/r1.pub" --root "$out/r2.pub" --root "$out/r3.pub" \
    --catalogue-key "$out/c4.pub" >/dev/null
sign "$v/chain4/keys/4.keys.json" r6 r7 r1 r2
sign "$v/chain4/catalogue.json" c4
rm -rf "$v/chain4old" && cp -r "$v/chain4" "$v/chain4old" && sign "$v/chain4old/catalogue.json" c2
# A stolen catalogue key c1 signs version 1000 while key set 1 is current;
# key set 2 then leaves c1 out.
for d in stolen stolen1; do
    rm -rf "${v:?}/$d" && mkdir -p "$v/$d/keys" && cp "$site"/demo_*.dat "$v/$d/"
    cp "$site/chain/keys/1.keys.json" "$site/chain/keys/1.keys.json.sig" "$v/$d/keys/"
done
python3 -c 'import json, sys; c = json.load(open(sys.argv[1])); c["version"] = 1000; json.dump(c, open(sys.argv[2], "w"))' \
    "$site/good.json" "$v/stolen/catalogue.json"
cp "$site/good.json" "$v/stolen1/catalogue.json"
sign "$v/stolen/catalogue.json" c1 && sign "$v/stolen1/catalogue.json" c1

# Type confusion under the roots r1-r3 (2 of 3), r1 and r2 both root and
# catalogue keys (2 of 2): a key set served as the catalogue, and a
# catalogue served as key set 2, each signed by both.
for d in same2 keysassame2; do
    rm -rf "${v:?}/$d" && mkdir -p "$v/$d" && cp "$site/good.json" "$v/$d/catalogue.json"
    "$program" catalogue keys init "$v/$d/keys" --root "$out/r1.pub" --root "$out/r2.pub" --root "$out/r3.pub" \
        --root-threshold 2 --catalogue-key "$out/r1.pub" --catalogue-key "$out/r2.pub" --threshold 2 >/dev/null
    sign "$v/$d/keys/1.keys.json" r1 r2
done
cp "$v/same2/keys/1.keys.json" "$v/keysassame2/catalogue.json" && sign "$v/keysassame2/catalogue.json" r1 r2
cp "$site/good.json" "$v/same2/keys/2.keys.json" && sign "$v/same2/keys/2.keys.json" r1 r2

roots=(--trust-root "$out/r1.pub" --trust-root "$out/r2.pub" --trust-root "$out/r3.pub")
remember() {  # remember STATE ARGS...: the state a check of ARGS leaves
    rm -f "$out/$1"
    CONTROLLER_UPDATER_STATE=$out/$1 "$program" check --simulate=none "${@:2}" >/dev/null 2>&1 || true
    [[ -s $out/$1 ]]
}
remember seen-v1.state --catalogue "$site/good.json" --trust "$out/a.pub"
remember stolen.state --catalogue "$v/stolen/catalogue.json" "${roots[@]}"
grep -q '"version": 1000' "$out/stolen.state"
cp "$here/attack_vectors.tsv" "$out/vectors.tsv"
