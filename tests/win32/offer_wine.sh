#!/usr/bin/env bash
# offer_wine.sh EMULATOR CLI_PROGRAM GUI_DRIVER DEMO_DIR OUT ARTIFACTS: the
# Windows dialog with a catalogue, under Wine, against a local server on
# 127.0.0.1 (WinHTTP, libgcrypt): the offer and an install of the listed
# package, and a catalogue signed by an untrusted key refused in words
# before the file dialog. The catalogue is made by the console program.
set -uo pipefail
emulator=$1 cli=$2 driver=$3 demo=$4 out=$5 artifacts=$6
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" && mkdir -p "$out/site" "$artifacts" && cd "$out" || exit 1
cp "$demo/demo_stream.dat" "$demo/demo_block.dat" site/
cat >site/notes.json <<'NOTES'
{"demo_block.dat": {"for": {"family": "block", "usb": ["5a3c:4c21"], "deviceTypes": [20753]}},
 "demo_stream.dat": {"en": "Steadier sticks.", "for": {"family": "stream", "usb": ["0483:5750", "5a3c:5750"]}}}
NOTES
"$emulator" "$cli" catalogue make site --repository test </dev/null >/dev/null 2>&1 || { echo "FAIL: catalogue make"; exit 1; }
for k in a b; do signify-openbsd -G -n -p "$k.pub" -s "$k.sec" -c "test key $k" || exit 1; done
signify-openbsd -S -s a.sec -m site/catalogue.json -x site/catalogue.json.sig || exit 1
cp site/catalogue.json site/untrusted.json
signify-openbsd -S -s b.sec -m site/untrusted.json -x site/untrusted.json.sig || exit 1
python3 "$here/../cli/catalogue_server.py" site port >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
for _ in $(seq 100); do [[ -s port ]] && break; sleep 0.05; done
url="http://127.0.0.1:$(cat port)"

failed=0
for case in "offer-install catalogue.json" "offer-refused untrusted.json"; do
    read -r variant catalogue <<<"$case"
    # A catalogue memory of its own for each run.
    CONTROLLER_UPDATER_STATE="Z:${out//\//\\}\\state-$variant.json" "$emulator" "$driver" stream "$artifacts" "$variant" \
        "$url/$catalogue" "$out/a.pub" || { echo "FAIL: $variant"; failed=1; }
done
shopt -s nullglob
for bmp in "$artifacts"/stream-offer-*.bmp; do
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
exit $failed
