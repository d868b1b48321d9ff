# tirevo-cli's runs inside the test VM (busybox sh), one after the other on
# the one emulated converter, with the host's meter peer on its serial side.
# $1 is the program. Everything goes to stdout, each part after a marker
# line, so the host checks it in order:
#   list; read --count 5; log, during which the peer unplugs the converter
#   after three polls and plugs it back in; then the log files.
cli=$1
cd /usbvm/work || exit 1

step() { # name, then the command line
    name=$1
    shift
    "$@" >"$name.out" 2>"$name.err"
    echo "== $name exit $?"
    echo "-- $name stdout"
    cat "$name.out"
    echo "-- $name stderr"
    cat "$name.err"
}

step list "$cli" list
step read "$cli" read --count 5 --interval 300 --format csv
mkdir -p logs
step log "$cli" log --count 8 --interval 300 --dir logs --give-up 60
echo "== log files $(ls logs | wc -l)"
for file in logs/*; do
    echo "-- file $file"
    cat "$file"
done
echo "== end"
