#!/usr/bin/env bash
# A fresh user on a fresh install: no store anywhere. The wizard offers the
# settings window as it starts; filled in there alone (no corvinaport-reg),
# the first fax reaches the relay. The password ends in the secret store and
# in no file of the user's.
set -uo pipefail
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/drive.out" 2>/dev/null; exit 1; }

"$RELAY" --port 0 --print-port --store "$work/received" >"$work/relay.log" 2>&1 &
pids+=($!)
port=""
for _ in $(seq 1 100); do
    port=$(sed -n '1s/^[^0-9]*\([0-9][0-9]*\).*$/\1/p' "$work/relay.log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the relay did not start: $(cat "$work/relay.log")"

{ read -r address; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 \
    --print-pid=1 --address=unix:tmpdir=/tmp)
export DBUS_SESSION_BUS_ADDRESS=$address
/usr/bin/python3 "$SOURCE_DIR/tests/support/secret_service.py" >"$work/secrets.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q ready "$work/secrets.log" && break; sleep 0.1; done

unset CORVINAPORT_REGISTRY
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
export CORVINAPORT_SYSTEM_REGISTRY="$work/etc/registry.reg" CORVINAPORT_WINDIR="$work/windir/"
export QT_QPA_PLATFORM=offscreen CORVINAPORT_DEMO_SETTINGS=1
mkdir -p "$HOME" "$work/run" "$work/windir" && chmod 700 "$work/run"
printf 'first fax\r\n' >"$work/Fax.txt"
password='Fresh&Pa55 word'

start=$(date +%s%N)
printf 'account=alice\npassword=%s\nsuffix=fax.example\nservice=http://127.0.0.1:%s/relay\n' \
    "$password" "$port" | "$DRIVE" "$work/Fax.txt" "1212555010" >"$work/drive.out" 2>&1 ||
    fail "the wizard failed"
ms=$(( ($(date +%s%N) - start) / 1000000 ))

grep -q "No fax account or service address is set up yet" "$work/drive.out" ||
    fail "start-up did not offer the settings"
grep -q "Check: The service answered and gave an upload address" "$work/drive.out" ||
    fail "the check did not pass"
grep -q "Your fax has been sent!" "$work/drive.out" || fail "the fax was not sent"
msg=$(ls -d "$work/received"/msg-* 2>/dev/null | head -1)
[ -n "$msg" ] && grep -q "first fax" "$msg/Fax.txt" || fail "the relay holds no fax"
grep -q "from: alice@fax.example" "$msg/fields.txt" || fail "sender: $(grep from "$msg/fields.txt")"
store="$XDG_CONFIG_HOME/corvinaport/registry.reg"
[ "$(stat -c %a "$store")" = 600 ] && [ "$(stat -c %a "$(dirname "$store")")" = 700 ] ||
    fail "the user's store is not private"
grep -q WebmailPassword "$store" && fail "the store holds a password"
[ -f "$HOME/Corvinaport/Local Folders/templates/Template.tif" ] || fail "no cover artwork"
[ "$(stat -c %a "$HOME/Corvinaport/Local Folders")" = 700 ] || fail "LocalFolders not private"
if grep -rlF -- "$password" "$HOME" "$work/run" "$work/drive.out"; then
    fail "a file holds the password in clear"
fi
echo "PASS: fresh install, settings window only, first fax sent in ${ms} ms"
sed 's/^/  /' "$work/drive.out"
