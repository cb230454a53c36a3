# Sourced by the benches that time the Ferret kept warm for them
# (TC_FERRET_OWNER=$$): warm_cpu prints that Ferret's processor time in
# ms, read from /proc as it is not a child that time(1) waits for; 0 when
# there is none.  Its directory is the one tc_ferret_warm.py itself uses
# ($XDG_RUNTIME_DIR/tcferret or $TMPDIR/tcferret-UID), asked of it once.
# Needs $bin (the drive root's bin).
warm_home=$(cd "$bin" && /usr/bin/python3 -c 'import tc_ferret_warm; print(tc_ferret_warm.home_path())')
tick=$(getconf CLK_TCK)
warm_cpu() {
  pid=$(cat "$warm_home/$$-"*-0.pid 2> /dev/null) &&
    awk -v t="$tick" '{ sub(/.*\) /, ""); print int(($12 + $13) * 1000 / t) }' "/proc/$pid/stat" 2> /dev/null ||
    echo 0
}
