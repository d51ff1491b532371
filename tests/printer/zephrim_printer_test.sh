#!/usr/bin/env bash
# The fax printer "zephrim" end to end on a private CUPS server in a temporary
# folder: install-printer, lp, and corvinaport-faxwatch handing each print to
# a wizard. As root, the second-user and full-disk checks run too.
set -u

src=${CORVINAPORT_SOURCE_DIR:?CORVINAPORT_SOURCE_DIR must name the source tree}
faxwatch=${FAXWATCH:?FAXWATCH must name corvinaport-faxwatch}
sendfax=${SENDFAX:-}
zephrim_dir=$src/platform/zephrim

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
die() {
    echo "FAIL: $*"
    exit 1
}

for tool in cupsd lp lpadmin lpstat cancel gs tiffinfo setpriv; do
    command -v "$tool" >/dev/null 2>&1 ||
        die "$tool is missing (packages cups-daemon cups-client cups-filters ghostscript libtiff-tools)"
done
for f in filter/pdftopdf filter/texttopdf daemon/cups-exec; do
    [ -x "/usr/lib/cups/$f" ] || die "/usr/lib/cups/$f is missing (packages cups-filters cups-daemon)"
done
[ -x "$faxwatch" ] || die "corvinaport-faxwatch is not built: $faxwatch"

me=$(id -un)
work=$(mktemp -d /tmp/zephrim-test.XXXXXX) || die "cannot make a temporary folder"
# CUPS, run as root, runs its filters as "lp": they must reach the spool.
chmod 0755 "$work"
cupsd_pid=""
watch_pid=""
# Every process started here (the watcher, its wizards): known by a working or
# runtime folder inside $work.
stop_started() {
    local p pid
    for p in /proc/[0-9]*; do
        pid=${p#/proc/}
        [ "$pid" = "$$" ] || [ "$pid" = "$cupsd_pid" ] && continue
        if [[ "$(readlink "$p/cwd" 2>/dev/null)/" == "$work/"* ]] ||
            grep -qzxF "XDG_RUNTIME_DIR=$work/xdg" "$p/environ" 2>/dev/null; then
            kill "$pid" 2>/dev/null
        fi
    done
}
cleanup() {
    [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
    stop_started
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null
        wait "$cupsd_pid" 2>/dev/null
    fi
    mountpoint -q "$work/full" 2>/dev/null && umount "$work/full"
    if [ "$failures" -ne 0 ] && [ -f "$work/log/error_log" ]; then
        echo "---- last lines of the CUPS log"
        grep -E '^[EWI] ' "$work/log/error_log" | tail -40
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work"/{etc,bin/backend,spool/tmp,cache,run,log,ppd,fax,xdg}
chmod 1777 "$work/spool/tmp"
chmod 0700 "$work/xdg"
for d in daemon filter notifier driver monitor cgi-bin; do
    [ -e "/usr/lib/cups/$d" ] && ln -s "/usr/lib/cups/$d" "$work/bin/$d"
done
socket=$work/run/cups.sock
cat >"$work/etc/cupsd.conf" <<EOF
Listen $socket
LogLevel debug
Browsing No
WebInterface No
DefaultAuthType Basic
MaxJobs 100
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat >"$work/etc/cups-files.conf" <<EOF
ServerRoot $work/etc
ServerBin $work/bin
DataDir /usr/share/cups
RequestRoot $work/spool
TempDir $work/spool/tmp
CacheDir $work/cache
StateDir $work/run
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
SystemGroup $(id -gn)
FileDevice No
Sandboxing Relaxed
EOF
cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" >"$work/log/cupsd.out" 2>&1 &
cupsd_pid=$!
export CUPS_SERVER=$socket
export XDG_RUNTIME_DIR=$work/xdg
for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q "is running" && break
    kill -0 "$cupsd_pid" 2>/dev/null || break
    sleep 0.2
done
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    echo "---- cupsd said:"
    cat "$work/log/cupsd.out" "$work/log/error_log" 2>/dev/null | tail -20
    die "the private CUPS server could not start as $me (see above)"
fi
pass "private cupsd runs as $me on $socket"

install_opts=(--spool "$work/fax" --backend-dir "$work/bin/backend" --ppd-dir "$work/ppd"
    --cupsd-conf "$work/etc/cupsd.conf" --reload-pid "$cupsd_pid")
"$zephrim_dir/install-printer" "${install_opts[@]}" >"$work/install.out" 2>&1 ||
    die "install-printer failed: $(cat "$work/install.out")"
lpstat -p zephrim >/dev/null 2>&1 || die "install-printer added no queue zephrim"
lpstat -v zephrim | grep -q "zephrim:$work/fax" || fail "the queue does not point at the spool folder"
grep -q '^<Policy corvinaport-zephrim>' "$work/etc/cupsd.conf" || fail "the job policy was not added"
"$zephrim_dir/install-printer" "${install_opts[@]}" >/dev/null 2>&1 || fail "a second install failed"
[ "$(grep -c '^<Policy corvinaport-zephrim>' "$work/etc/cupsd.conf")" = 1 ] ||
    fail "a second install doubled the policy"
pass "queue zephrim installed"

lpadmin -p zephrim-missing -E -v "zephrim:$work/no-such-folder" -P "$work/ppd/zephrim.ppd" \
    -o printer-error-policy=abort-job >/dev/null 2>&1 || die "cannot add the queue zephrim-missing"

folder=$work/fax/$me
wizard=$work/wizard.sh
cat >"$wizard" <<EOF
#!/bin/sh
printf '%s|%s|%s|%s\n' "\$PWD" "\$CORVINAPORT_WINDIR" "\$1" "\$2" >>"$work/started"
[ -e "$work/real-wizard" ] || exit 0
QT_QPA_PLATFORM=offscreen CORVINAPORT_REGISTRY="$work/registry.reg" exec "$sendfax" "\$@" >>"$work/wizards.out" 2>&1
EOF
chmod 0755 "$wizard"
: >"$work/started"
"$faxwatch" --folder "$folder/" --wizard "$wizard" >"$work/watch.out" 2>&1 &
watch_pid=$!

job_id() { sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p'; }

# Waits until job $1 has ended; prints "completed" or "aborted".
wait_job() {
    for _ in $(seq 1 150); do
        if grep -q "\[Job $1\] Job completed\." "$work/log/error_log"; then
            echo completed
            return
        fi
        if grep -qE "\[Job $1\] (Job aborted|Job stopped|Job canceled)" "$work/log/error_log"; then
            echo aborted
            return
        fi
        sleep 0.2
    done
    echo "still running"
}

job_message() { lpstat -W completed -l -o | grep -A1 -E "^[a-z-]+-$1 " | sed -n 's/^[[:space:]]*Status: //p'; }

print() {
    local queue=$1 file=$2 out
    out=$(lp -d "$queue" "$file" 2>&1) || {
        echo "lp: $out" >&2
        return 1
    }
    printf '%s\n' "$out" | job_id
}

stray_files() { find "$1" -name '.zephrim-*' 2>/dev/null; }

# Checks job $1's print in $folder (at least $2 pages); sets grp. Not in $(...): failures count.
check_print() {
    local job=$1 pages=$2 group image count
    grp=""
    group=$(ls "$folder"/fax-"$job"-*.grp 2>/dev/null | head -1)
    [ -n "$group" ] || {
        fail "job $job: no group file in $folder"
        return 1
    }
    image=$(sed -n 's/^Image File Name=\(.*\)\r$/\1/p' "$group")
    [ -n "$image" ] && [ "$(sed -n 's/^Plane1=\(.*\)\r$/\1/p' "$group")" = "$image" ] ||
        fail "job $job: the group file does not name the image under both keys (CR LF)"
    [ -f "$image" ] || fail "job $job: the image $image is missing"
    grep -q "^Groupfile name=$group"$'\r'"\$" "$folder/bi_group.ini" ||
        fail "job $job: bi_group.ini does not name $group"
    grep -q '^Name and Port=zephrim,zephrim:'$'\r''$' "$folder/bi_group.ini" ||
        fail "job $job: bi_group.ini has no current setting"
    for f in "$image" "$group" "$folder/bi_group.ini"; do
        [ "$(stat -c '%a %U' "$f")" = "600 $me" ] || fail "job $job: $f is not private to $me"
    done
    [ "$(stat -c '%a %U' "$folder")" = "700 $me" ] || fail "$folder is not private to $me"
    tiffinfo "$image" >"$work/tiffinfo" 2>&1 || fail "job $job: tiffinfo rejects the image"
    count=$(grep -c '^TIFF Directory' "$work/tiffinfo")
    [ "$count" -ge "$pages" ] || fail "job $job: $count pages, expected at least $pages"
    for want in 'Compression Scheme: CCITT Group 3' 'Image Width: 1728 ' 'Resolution: 204, 196 pixels/inch'; do
        [ "$(grep -c "$want" "$work/tiffinfo")" = "$count" ] || fail "job $job: not every page has $want"
    done
    grp=$(basename "$group")
}

wait_started() {
    for _ in $(seq 1 50); do
        grep -qF "$1" "$work/started" && return 0
        sleep 0.1
    done
    return 1
}

cat >"$work/three.ps" <<'EOF'
%!PS
/Helvetica findfont 24 scalefont setfont
1 1 3 { 72 700 moveto (Fax page ) show 3 string cvs show showpage } for
EOF
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/three.pdf" "$work/three.ps" ||
    die "cannot make the test PDF"
for i in $(seq 1 130); do echo "Line $i of a plain text document sent as a fax."; done >"$work/letter.txt"
printf '%%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >>\ngarbage\n' >"$work/corrupt.pdf"
: >"$work/empty.txt"
printf '%%!PS\n/Helvetica findfont 20 scalefont setfont\n72 700 moveto (broken) show\nnosuchoperator\nshowpage\n' >"$work/broken.ps"

# Prints $2 on zephrim, expecting $3 pages or more; $1 names it.
expect_print() {
    local label=$1 file=$2 pages=$3 job state before=$failures
    grp=""
    job=$(print zephrim "$file") || {
        fail "$label: lp refused it"
        return
    }
    state=$(wait_job "$job")
    [ "$state" = completed ] || fail "$label: job $job $state ($(job_message "$job"))"
    if check_print "$job" "$pages"; then
        wait_started "|/print|\"$grp\"" || fail "$label: the wizard was not started for $grp"
    fi
    [ "$failures" = "$before" ] && pass "$label: G3 TIFF of $pages+ pages, group file, wizard started"
}

expect_print "PDF" "$work/three.pdf" 3
[ "$(grep -c '^TIFF Directory' "$work/tiffinfo")" = 3 ] || fail "the PDF did not give 3 pages"
grep -qF "$folder|$folder/|/print|\"$grp\"" "$work/started" ||
    fail "the wizard was not started in the driver folder: $(cat "$work/started")"
expect_print "text" "$work/letter.txt" 2
expect_print "PostScript" "$work/three.ps" 3
[ -z "$(stray_files "$folder")" ] || fail "temporary files left behind: $(stray_files "$folder")"

# Prints $3 on queue $2, expecting an abort with a message matching $4; $1 names it.
expect_abort() {
    local label=$1 queue=$2 file=$3 pattern=$4 job state message
    job=$(print "$queue" "$file") || {
        fail "$label: lp refused it"
        return
    }
    state=$(wait_job "$job")
    message=$(job_message "$job")
    if [ "$state" = aborted ] && [ -n "$message" ] && grep -q -- "$pattern" <<<"$message"; then
        pass "$label: job aborted: $message"
    else
        fail "$label: job $state, message '$message'"
    fi
}

files_before=$(ls "$folder" | wc -l)
expect_abort "corrupt PDF" zephrim "$work/corrupt.pdf" ""
expect_abort "broken PostScript" zephrim "$work/broken.ps" "damaged"
if out=$(lp -d zephrim "$work/empty.txt" 2>&1); then
    job=$(job_id <<<"$out")
    state=$(wait_job "$job")
    [ "$state" = aborted ] && pass "empty job: aborted" || fail "empty job: $state"
else
    pass "empty job: refused by lp: $out"
fi
expect_abort "missing folder" zephrim-missing "$work/letter.txt" "fax folder .* is missing"

# The backend on its own: a driver folder replaced by a symbolic link.
mkdir -p "$work/trap" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/trap/$me"
out=$(DEVICE_URI="zephrim:$work/trap" "$work/bin/backend/zephrim" 99 "$me" t 1 "" <"$work/three.pdf" 2>&1)
rc=$?
[ "$rc" = 1 ] && grep -q "is not a folder of $me" <<<"$out" || fail "backend, linked folder: exit $rc: $out"
[ -z "$(ls "$work/elsewhere")" ] || fail "the backend wrote through a linked folder"

# Job ids come from outside: only their digits reach a file name.
mkdir -p -m 0700 "$work/hostile/$me"
before=$failures
for id in '../../escape' '7/../../../escape' '-rf' '$(touch pwned)' 'a b' ''; do
    out=$(cd "$work" && DEVICE_URI="zephrim:$work/hostile" "$work/bin/backend/zephrim" "$id" "$me" t 1 "" \
        <"$work/three.pdf" 2>&1) || fail "backend, job id '$id': $out"
done
odd=$(ls -A "$work/hostile/$me" | grep -Ev '^(fax-[0-9]+-[^/]+|bi_group\.ini)$')
[ -z "$odd" ] || fail "hostile job ids made files named: $odd"
[ "$(ls "$work/hostile/$me"/fax-*.grp | wc -l)" = 6 ] || fail "hostile job ids: not six prints stored"
[ -e "$work/escape" ] || [ -e "$work/pwned" ] || [ -e "$work/hostile/escape" ] &&
    fail "a job id reached a path outside the folder"
[ "$failures" = "$before" ] && pass "hostile job ids stay inside the folder"

[ "$(ls "$folder" | wc -l)" = "$files_before" ] || fail "bad jobs left files in $folder"
[ -z "$(stray_files "$folder")" ] || fail "bad jobs left temporary files"
lpstat -p zephrim | grep -q "enabled" || fail "a bad job stopped the queue"

# A job in another user's name is refused by the queue's policy.
if lp -U "not-$me" -d zephrim "$work/letter.txt" >"$work/spoof.out" 2>&1; then
    fail "a job in another user's name was accepted: $(cat "$work/spoof.out")"
else
    pass "job in another user's name refused: $(cat "$work/spoof.out")"
fi

if [ "$(id -u)" = 0 ]; then
    # A real second user: the print is theirs alone and never reaches us.
    other=nobody
    mine=$(wc -l <"$work/started")
    cp "$work/letter.txt" "$work/other.txt" && chmod 0644 "$work/other.txt"
    out=$(setpriv --reuid="$other" --regid="$(id -g "$other")" --clear-groups \
        env CUPS_SERVER="$socket" lp -d zephrim "$work/other.txt" 2>&1 </dev/null)
    job=$(job_id <<<"$out")
    if [ -n "$job" ]; then
        state=$(wait_job "$job")
        [ "$state" = completed ] || fail "other user's job: $state ($(job_message "$job"))"
        theirs=$(ls "$work/fax/$other"/fax-"$job"-*.grp 2>/dev/null | head -1)
        [ -n "$theirs" ] && [ "$(stat -c '%a %U' "$theirs")" = "600 $other" ] ||
            fail "other user's print is not in their private folder"
        [ "$(stat -c '%a %U' "$work/fax/$other")" = "700 $other" ] ||
            fail "other user's folder is not private"
        ls "$folder"/fax-"$job"-* >/dev/null 2>&1 && fail "other user's print landed in $folder"
        sleep 1
        [ "$(wc -l <"$work/started")" = "$mine" ] || fail "other user's print reached this wizard"
        pass "other user's job stays theirs"
    else
        fail "the other user could not print: $out"
    fi

    # A job file only root may read still reaches the user's part of the backend.
    chmod 0600 "$work/three.pdf"
    out=$(DEVICE_URI="zephrim:$work/fax" "$work/bin/backend/zephrim" 98 "$other" t 1 "" \
        "$work/three.pdf" 2>&1) || fail "backend with a job file, as $other: $out"
    ls "$work/fax/$other"/fax-98-*.grp >/dev/null 2>&1 || fail "backend with a job file: no group file"

    # A full folder: a tiny file system as the spool.
    mkdir -p "$work/full"
    if mount -t tmpfs -o size=48k,mode=0755 tmpfs "$work/full" 2>/dev/null; then
        mkdir -m 0700 "$work/full/$me"
        head -c 40000 /dev/zero >"$work/full/$me/filler" 2>/dev/null
        lpadmin -p zephrim-full -E -v "zephrim:$work/full" -P "$work/ppd/zephrim.ppd" \
            -o printer-error-policy=abort-job >/dev/null 2>&1
        expect_abort "full folder" zephrim-full "$work/three.pdf" "is full"
        [ -z "$(stray_files "$work/full")" ] || fail "full folder: temporary files left"
        ls "$work/full/$me"/*.grp >/dev/null 2>&1 && fail "full folder: a group file was written"
    else
        echo "skipped: full folder (cannot mount a small file system here)"
    fi
else
    echo "skipped: second user and full folder (need root)"
fi

# Real wizards, offscreen: one already runs; twenty prints in a row each start
# a wizard of their own, which takes its print and leaves the later ones.
if [ -x "$sendfax" ]; then
    local_folders=$work/local
    mkdir -p "$local_folders/outbox"
    # A user with an account, so no wizard stops at the first-run offer.
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n"WebmailUserName"="ann"\r\n%s\r\n"InstallPath"="%s/"\r\n"LocalFolders"="%s/"\r\n"RmMessages"="http://127.0.0.1:9/relay"\r\n' \
        '[HKEY_LOCAL_MACHINE\Software\Quorvane\Corvinaport\General]' \
        '[HKEY_LOCAL_MACHINE\Software\Quorvane\Corvinaport\Directory]' \
        "$local_folders" "$local_folders" >"$work/registry.reg"
    rm -f "$folder"/fax-* "$folder/bi_group.ini"
    : >"$work/started"
    : >"$work/real-wizard"
    QT_QPA_PLATFORM=offscreen CORVINAPORT_REGISTRY="$work/registry.reg" \
        CORVINAPORT_WINDIR="$folder/" "$sendfax" /s >>"$work/wizards.out" 2>&1 &
    for _ in $(seq 1 100); do
        [ -S "$XDG_RUNTIME_DIR/corvinaport/sendfax-$!.sock" ] && break
        sleep 0.1
    done
    printf '%%!PS\n/Helvetica findfont 20 scalefont setfont\n72 700 moveto (One page) show showpage\n' >"$work/one.ps"
    # One after the other, as the queue runs them, straight through the backend.
    jobs=()
    began=$SECONDS
    for job in $(seq 101 120); do
        DEVICE_URI="zephrim:$work/fax" "$work/bin/backend/zephrim" "$job" "$me" t 1 "" \
            <"$work/one.ps" >/dev/null 2>&1 || fail "print $job failed"
        jobs+=("$job")
        # The next print once the watcher has acted on this one: prints that
        # arrive together are not offered, each gets a wizard of its own.
        for _ in $(seq 1 100); do
            grep -q "fax-$job-" "$work/watch.out" && break
            sleep 0.1
        done
    done
    # Each started wizard listens once it has taken its print over.
    for _ in $(seq 1 150); do
        [ "$(ls "$XDG_RUNTIME_DIR"/corvinaport/sendfax-*.sock | wc -l)" -ge 21 ] && break
        sleep 0.1
    done
    before=$failures
    for job in "${jobs[@]}"; do
        starts=$(grep -c "|/print|\"fax-$job-" "$work/started")
        took=$(ls "$local_folders/outbox"/.stage-*/fax-"$job"-*.tif 2>/dev/null | wc -l)
        [ "$starts" = 1 ] && [ "$took" = 1 ] ||
            fail "print $job: $starts wizard(s) started, taken over $took time(s)"
    done
    running=$(ls "$XDG_RUNTIME_DIR"/corvinaport/sendfax-*.sock | wc -l)
    # Asked first each time; a wizard slow to answer (a loaded machine) counts too.
    offered=$(grep -cE 'declined by [0-9]* running wizard|running wizard\(s\) that do not answer' "$work/watch.out")
    [ "$running" = 21 ] || fail "$running wizards run, expected 21"
    [ "$offered" -ge 20 ] || fail "only $offered prints were offered to the running wizards"
    [ -z "$(ls -A "$folder" | grep -v '^bi_group.ini$')" ] ||
        fail "files left in the driver folder: $(ls -A "$folder")"
    rm -f "$work/real-wizard"
    stop_started
    watch_pid=""
    [ "$failures" = "$before" ] &&
        pass "20 prints in a row: each started exactly one wizard and was taken over once ($((SECONDS - began)) s)"
else
    echo "skipped: one print, one wizard (corvinaport-sendfax is not built)"
fi

[ -e "$work/cache/zephrim.strings" ] || echo "note: CUPS made no strings file for the queue"
"$zephrim_dir/install-printer" --remove "${install_opts[@]}" >"$work/remove.out" 2>&1 ||
    fail "install-printer --remove failed: $(cat "$work/remove.out")"
lpstat -p zephrim >/dev/null 2>&1 && fail "the queue zephrim is still there"
[ -e "$work/bin/backend/zephrim" ] && fail "the backend is still installed"
grep -q 'corvinaport-zephrim' "$work/etc/cupsd.conf" && fail "the policy is still in cupsd.conf"
[ -e "$work/cache/zephrim.strings" ] && fail "the queue's strings are still in the cache folder"
[ "$failures" = 0 ] && pass "removed"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all printer checks passed"
