#!/bin/sh
# Runs inside the test VM (cwd = the repository, read-only; /tmp writable):
# brings up the emulated USB bus and udevd, starts the emulated phone in
# modem mode and runs the host-side check against it.
set -u
. ./.usbvm/usbtest.env
D=/tmp/snaprill-usb
mkdir -p "$D"
PASSED=0
FAILED=0
PHONE=

finish() {
    [ -n "$PHONE" ] && kill "$PHONE" 2>/dev/null
    if [ "$FAILED" -ne 0 ] && [ -f "$D/phone.log" ]; then
        echo "--- emulated phone log"; cat "$D/phone.log"; echo "---"
    fi
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
    exit $?
}
step() {  # step OK? description
    if [ "$1" -eq 0 ]; then PASSED=$((PASSED + 1)); echo "ok   $2"
    else FAILED=$((FAILED + 1)); echo "FAIL $2"; finish; fi
}
t() { echo "T+$(cut -d' ' -f1 /proc/uptime) $*"; }

# Polls a command ten times a second until it succeeds, for two minutes at
# most (the machine is emulated and may be shared with builds and another
# VM) and no longer than the phone program lives.
wait_until() {
    i=0
    until "$@"; do
        kill -0 "$PHONE" 2>/dev/null || return 1
        i=$((i + 1)); [ $i -gt 1200 ] && return 1
        sleep 0.1
    done
}
host_has() {  # host_has PRODUCT: a USB device of 22b8:PRODUCT is enumerated
    grep -qx "$1" /sys/bus/usb/devices/*/idProduct 2>/dev/null
}
modem_port() { ls /dev/ttyACM* >/dev/null 2>&1; }
wait_attached() {  # wait_attached DIR PRODUCT [ALSO]: ALSO a further readiness check
    wait_until test -f "$1/ready" && wait_until host_has "$2" &&
        wait_until "${3:-true}" && udevadm settle -t 60
}

modprobe -d "$KROOT" -a dummy_hcd libcomposite usb_f_fs usb_f_acm cdc_acm
step $? "kernel modules: dummy_hcd, gadget functions, cdc_acm"
mount -t configfs none /sys/kernel/config
/lib/systemd/systemd-udevd --daemon 2>/dev/null
udevadm trigger --action=add >/dev/null 2>&1
udevadm settle -t 30
t "udevd up"

"$BUILD/tests/usb/snaprill_usb_phone" "$D" > "$D/phone.log" 2>&1 &
PHONE=$!
# The phone is there for the host once its side says it is attached, the
# host's kernel has a device of its product id, and udev has handled it.
wait_attached "$D" 4902 modem_port
step $? "the emulated phone attached in modem mode"
t "phone attached"

# doctor finds the phone in modem mode and says it can be used.
doctor() {  # doctor OUT [as-user]: snaprill-cli doctor into OUT; its status
    if [ -n "${2:-}" ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups \
            env HOME=/tmp XDG_RUNTIME_DIR=/tmp "$BUILD/app/snaprill-cli" doctor > "$1" 2>&1
    else
        "$BUILD/app/snaprill-cli" doctor > "$1" 2>&1
    fi
}
doctor "$D/doctor-modem.txt"
rc=$?
cat "$D/doctor-modem.txt"
[ $rc -eq 0 ] && grep -q "^ok      phone: 22b8:4902 .*modem mode (port /dev/ttyACM" "$D/doctor-modem.txt" &&
    grep -q "^ok      access: you can read and write /dev/ttyACM" "$D/doctor-modem.txt"
step $? "doctor finds the phone in modem mode and reports it usable (exit $rc)"

"$BUILD/tests/usb/snaprill_usb_host" "$D" > "$D/host.log" 2>&1
HOST_RC=$?
cat "$D/host.log"
t "host check done"
line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$D/host.log" | tail -1)
if [ -n "$line" ]; then
    PASSED=$((PASSED + ${line%% passed*}))
    rest=${line#*, }
    FAILED=$((FAILED + ${rest%% failed*}))
fi
[ -n "$line" ]
step $? "the host check ran to its end (exit code $HOST_RC)"

# A phone in P2K mode: doctor finds it usable; with its device node closed
# to others, a user who is not root is told which permission is missing.
kill "$PHONE" 2>/dev/null
wait "$PHONE" 2>/dev/null
P=/tmp/snaprill-usb-p2k
mkdir -p "$P"
"$BUILD/tests/usb/snaprill_usb_phone" --p2k "$P" > "$P/phone.log" 2>&1 &
PHONE=$!
wait_attached "$P" 4901
step $? "the emulated phone attached in P2K mode"
doctor "$D/doctor-p2k.txt"
rc=$?
cat "$D/doctor-p2k.txt"
[ $rc -eq 0 ] && grep -q "^ok      phone: 22b8:4901 .*P2K mode (command interface 08)" "$D/doctor-p2k.txt"
step $? "doctor finds the phone in P2K mode and reports it usable (exit $rc)"
node=$(sed -n 's|^ok      access: you can read and write \(/dev/bus/usb/[0-9/]*\) .*|\1|p' "$D/doctor-p2k.txt" | head -1)
[ -n "$node" ] && chmod 0600 "$node"
doctor "$D/doctor-denied.txt" as-user
rc=$?
cat "$D/doctor-denied.txt"
[ -n "$node" ] && [ $rc -eq 3 ] &&
    grep -q "^PROBLEM access: you (.*) cannot read and write $node (22b8:4901 .*): it is crw------- root:root" "$D/doctor-denied.txt"
step $? "with $node at mode 0600, doctor as another user names the missing permission (exit $rc)"
finish
