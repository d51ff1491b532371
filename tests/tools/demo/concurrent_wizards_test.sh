#!/usr/bin/env bash
# Two wizards sending and two wizards storing at the same moment, each with a
# document of the same name: every fax reaches the relay or the outbox once,
# with its own document.
set -uo pipefail
work=$(mktemp -d)
relay_pid=""
cleanup() {
    [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$RELAY" --port 0 --print-port --store "$work/received" >"$work/relay.log" 2>&1 &
relay_pid=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n '1s/^[^0-9]*\([0-9][0-9]*\).*$/\1/p' "$work/relay.log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the relay did not start: $(cat "$work/relay.log")"

export CORVINAPORT_REGISTRY="$work/registry.reg" CORVINAPORT_WINDIR="$work/windir/"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run"
mkdir -p "$work/local/outbox" "$work/windir" "$work/run" && chmod 700 "$work/run"
gen='HKEY_LOCAL_MACHINE\Software\Quorvane\Corvinaport\General'
dir='HKEY_LOCAL_MACHINE\Software\Quorvane\Corvinaport\Directory'
set_value() { "$REG" --file "$CORVINAPORT_REGISTRY" set "$@" || fail "cannot set $2"; }
set_value "$gen" WebmailUserName user
set_value "$gen" WebmailPassword secret --scramble
set_value "$gen" Gateway test_1
set_value 'HKEY_LOCAL_MACHINE\Software\Quorvane\Corvinaport\Connection' ConnectionType ""
set_value "$dir" InstallPath "$work/local/"
set_value "$dir" LocalFolders "$work/local/"
set_value "$dir" RmMessages "http://127.0.0.1:$port/relay"

pids=()
for fax in A B C D; do
    mkdir -p "$work/$fax"
    printf 'document of fax %s\r\n' "$fax" >"$work/$fax/Fax.txt"
    case $fax in A | B) outbox=0 ;; *) outbox=1 ;; esac
    CORVINAPORT_DEMO_OUTBOX=$outbox "$DRIVE" "$work/$fax/Fax.txt" "1212555010${fax//[A-D]/}1" \
        >"$work/$fax.out" 2>&1 &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a wizard failed: $(cat "$work"/?.out)"; done

sent=$(grep -rl --exclude=query.txt --exclude=fields.txt 'document of fax' "$work/received" | xargs cat | sort | tr -d '\r')
[ "$sent" = "$(printf 'document of fax A\ndocument of fax B')" ] || fail "the relay received: $sent"
stored=$(cat "$work/local/outbox"/*/Fax.txt 2>/dev/null | sort | tr -d '\r')
[ "$stored" = "$(printf 'document of fax C\ndocument of fax D')" ] || fail "the outbox holds: $stored"
[ "$(ls "$work/local/outbox"/*/msg.qvm | wc -l)" = 2 ] || fail "not two stored messages"
for fax in A B C D; do
    grep -q "document of fax $fax" "$work/$fax/Fax.txt" || fail "the user's document $fax changed"
done
echo "PASS: two wizards sent and two stored at once, each its own fax and document"
