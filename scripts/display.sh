# Sourced by the scripts that need a private X display and Wine server (another program's windows
# are only visible under a display). start_display FILE GEOMETRY starts Xvfb on a display number
# that Xvfb picks itself, exports DISPLAY and stops Xvfb and the Wine server when the script exits.

stop_services() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
}

start_display() {
    local display_file=$1 geometry=$2 display=""
    mkdir -p "$(dirname "$display_file")"
    # The file exists before Xvfb writes the number into it, so reading it never races the creation.
    : >"$display_file"
    Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
    xvfb_pid=$!
    trap stop_services EXIT
    for _ in $(seq 100); do
        display=$(tr -dc 0-9 <"$display_file")
        [ -n "$display" ] && break
        sleep 0.1
    done
    if [ -z "$display" ]; then
        echo "Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=":$display"
}
