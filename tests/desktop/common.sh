# Helpers of the desktop tests (sourced).

# The exit status ctest counts as skipped.
readonly SKIPPED=77

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Checks that every file of installed-files is under Root (a prefix).
check_installed_files() {
    local root=$1 path
    while read -r path; do
        case $path in '' | '#'*) continue ;; esac
        [ -f "$root/$path" ] || fail "$path is not installed"
    done <"$(dirname "${BASH_SOURCE[0]}")/installed-files"
}

# Waits up to Seconds for a command to succeed, checking ten times a second;
# fails early when the process Pid is gone.
wait_until() {
    local seconds=$1 pid=$2
    shift 2
    local tries=$((seconds * 10))
    while ! "$@"; do
        kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# The settings of a program whose files live under Home: downloads on
# connect into Out, the language file Lang chosen.
write_settings() {
    local home=$1 out=$2 lang=$3
    mkdir -p "$home/config/Brenwick"
    printf '[General]\ndownload=1\ndir=%s\nlang=%s\n' "$out" "$lang" >"$home/config/Brenwick/Snaprill.conf"
}
