#!/usr/bin/env bash
# Fails when a layer of the core includes a header of a layer above it
# (the layers and their folders: docs/layout.md).
# Layers, lowest first: base; text and package; hid; engine; stream and block
# (the protocols, each on the engine alone); protocols (the one place that
# knows both); app, and beside it catalogue (the firmware catalogue, on the
# protocols' rules) and station (the station mode's logic). sim sits beside
# app and may not use it either. offer (the dialogs' catalogue offer) sits
# on app and on the command line's catalogue pipeline in cli/.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
    [base]="base"
    [text]="base text"
    [package]="base package"
    [hid]="base text hid"
    [engine]="base text package hid engine"
    [stream]="base text package hid engine stream"
    [block]="base text package hid engine block"
    [protocols]="base text package hid engine stream block protocols"
    [app]="base text package hid engine protocols app"
    [catalogue]="base text package hid engine stream block protocols catalogue"
    [sim]="base text package hid engine stream block protocols sim"
    [station]="base text package hid engine stream block protocols station"
    [offer]="base text package hid engine stream block protocols catalogue app station cli offer"
)

status=0
for layer in "${!allowed[@]}"; do
    [[ -d $layer ]] || continue
    while IFS=: read -r file line include; do
        target=$(sed -E 's/.*#\s*include\s*"([^/"]+)\/.*/\1/' <<<"$include")
        if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
            echo "$file:$line: $layer/ may not include $target/: $include"
            status=1
        fi
    done < <(grep -nE '#\s*include\s*"[^"/]+/' "$layer"/*.h "$layer"/*.cpp 2>/dev/null || true)
done
[[ $status == 0 ]] && echo "layers: every include points downward"
exit $status
