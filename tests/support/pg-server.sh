#!/usr/bin/env bash
# pg-server.sh start DIR | stop DIR
# A throw-away PostgreSQL server for the tests, kept in DIR.
#
# start: creates a cluster with the superuser `photoseries` (password photoseries-test), local
#   connections trusted and TCP connections checked with scram-sha-256; it listens on a Unix
#   socket and on a free port of 127.0.0.1. Writes DIR/url
#   (postgresql://photoseries@127.0.0.1:PORT/postgres), DIR/port, DIR/socket-dir (the folder of
#   the socket, for psql -h) and DIR/server-dir (the folder of the cluster and its server.log).
#   A server that does not come up fails the command and shows its log. A server left running
#   in DIR by an earlier run is stopped first.
# stop: stops the server (fast: open connections are ended) and removes DIR; it fails when the
#   server would not stop.
#
# The server refuses to run as root: as root it runs as the user `postgres` that Debian's
# postgresql package creates, and DIR is handed to that user.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage
command=$1
dir=$2
[ -n "$dir" ] || usage

password=photoseries-test

# The server's programs: Debian keeps them out of PATH, one folder per major version.
find_server_programs() {
    pg_bin=${PG_BIN:-}
    if [ -z "$pg_bin" ]; then
        local candidate
        for candidate in /usr/lib/postgresql/15/bin $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -rV); do
            if [ -x "$candidate/initdb" ]; then
                pg_bin=$candidate
                break
            fi
        done
    fi
    if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ]; then
        echo "pg-server.sh: no PostgreSQL server found (Debian package postgresql-15, or set PG_BIN)" >&2
        exit 1
    fi
}

as_server_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_server_user=(runuser -u postgres --)
fi
as_server() {
    "${as_server_user[@]}" "$@"
}

# A port nobody listens on: one the kernel hands out for a moment, else a random one. Another
# program may still take it before the server does; start tries again then.
free_port() {
    local python
    python=$(command -v python3 || true)
    if [ -n "$python" ] && "$python" -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])' 2>/dev/null; then
        return 0
    fi
    echo $((20000 + RANDOM % 40000))
}

stop_server() {
    local server_dir=$dir
    if [ -f "$dir/server-dir" ]; then
        server_dir=$(cat "$dir/server-dir")
    fi
    if [ -f "$server_dir/data/postmaster.pid" ]; then
        find_server_programs
        if ! as_server "$pg_bin/pg_ctl" stop -D "$server_dir/data" -m fast -w -t 30 >/dev/null 2>&1 &&
            ! as_server "$pg_bin/pg_ctl" stop -D "$server_dir/data" -m immediate -w -t 10 >/dev/null 2>&1 &&
            as_server "$pg_bin/pg_ctl" status -D "$server_dir/data" >/dev/null 2>&1; then
            echo "pg-server.sh: the server in $server_dir/data does not stop; it is left as it is" >&2
            exit 1
        fi
    fi
    # A server folder outside DIR (see start) goes with it.
    case $server_dir in
    /tmp/photoseries-pg.*) rm -rf "$server_dir" ;;
    esac
    rm -rf "$dir"
}

start_server() {
    find_server_programs
    stop_server
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)

    # The server folder holds the cluster (data/), its log and its Unix socket. It is DIR, except
    # when the user postgres cannot reach DIR (a build in a home folder closed to others) or DIR
    # is too deep for a socket (DIR/.s.PGSQL.65535.lock within the 107 bytes a socket path may
    # have): then it is a folder in /tmp that stop removes.
    local server_dir=$dir
    if [ ${#as_server_user[@]} -gt 0 ]; then
        chown postgres: "$dir"
    fi
    if [ $((${#dir} + 21)) -gt 100 ] || ! as_server test -w "$dir"; then
        server_dir=$(mktemp -d /tmp/photoseries-pg.XXXXXX)
        if [ ${#as_server_user[@]} -gt 0 ]; then chown postgres: "$server_dir"; fi
    fi
    echo "$server_dir" >"$dir/server-dir"
    echo "$server_dir" >"$dir/socket-dir"
    local data=$server_dir/data log=$server_dir/server.log

    local pwfile=$server_dir/pwfile
    (umask 077 && echo "$password" >"$pwfile")
    if [ ${#as_server_user[@]} -gt 0 ]; then chown postgres: "$pwfile"; fi
    if ! as_server "$pg_bin/initdb" -D "$data" -U photoseries --pwfile="$pwfile" \
        --auth-local=trust --auth-host=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 --no-sync \
        >"$dir/initdb.log" 2>&1; then
        echo "pg-server.sh: initdb failed:" >&2
        cat "$dir/initdb.log" >&2
        exit 1
    fi
    rm -f "$pwfile"

    # Durability is not under test here: fsync and friends off make the tests faster.
    cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$server_dir'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 100
EOF

    local attempt port
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        rm -f "$log"
        if as_server "$pg_bin/pg_ctl" start -D "$data" -l "$log" -w -t 30 \
            -o "-p $port" >/dev/null 2>&1; then
            break
        fi
        # Another program took the port in the meantime: try another. Anything else is fatal.
        if grep -q 'could not bind\|could not create any TCP/IP sockets' "$log" 2>/dev/null &&
            [ "$attempt" -lt 5 ]; then
            as_server "$pg_bin/pg_ctl" stop -D "$data" -m immediate >/dev/null 2>&1 || true
            continue
        fi
        echo "pg-server.sh: the server did not start; its log ($log):" >&2
        cat "$log" >&2 || true
        exit 1
    done

    # The tests connect over TCP with a password: make sure that path works before they run.
    if ! PGPASSWORD=$password PGCONNECT_TIMEOUT=10 "$pg_bin/psql" -X -q -w -At \
        "postgresql://photoseries@127.0.0.1:$port/postgres" -c 'SELECT 1' >/dev/null 2>"$dir/check.log"; then
        echo "pg-server.sh: the server started but refuses photoseries over TCP:" >&2
        cat "$dir/check.log" "$log" >&2 || true
        exit 1
    fi
    rm -f "$dir/check.log"

    echo "$port" >"$dir/port"
    echo "postgresql://photoseries@127.0.0.1:$port/postgres" >"$dir/url"
    echo "PostgreSQL $("$pg_bin/postgres" --version | awk '{print $3}') at $(cat "$dir/url") (socket in $server_dir)"
}

case $command in
start) start_server ;;
stop)
    if [ -d "$dir" ]; then dir=$(cd "$dir" && pwd); fi
    stop_server
    ;;
*) usage ;;
esac
