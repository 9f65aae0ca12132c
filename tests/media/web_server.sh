#!/usr/bin/env bash
# A real web server and proxy on loopback for the download tests (Debian's
# nginx-light and tinyproxy):
#   web_server.sh start ROOT STATE   serves ROOT on a free port of 127.0.0.1;
#                                    writes STATE/port; /norange/ serves ROOT
#                                    without ranges (status 200 for a Range
#                                    request), /slow/ at 200 KB/s, /proxied/
#                                    only to the proxy (a direct request gets
#                                    403); a proxy that
#                                    wants the basic credentials "ann"/"secret"
#                                    on 127.0.0.2, port STATE/proxy_port (another
#                                    loopback address than the server's: Wine's
#                                    WinHTTP sends a relative request line to a
#                                    proxy on the same host name, see docs/wine.md)
#   web_server.sh stop STATE
# The access log (STATE/access.log) notes each request's Range header.
set -euo pipefail
command=$1
stop_all() {
    local pid_file
    for pid_file in "$1/nginx.pid" "$1/tinyproxy.pid"; do
        [ -f "$pid_file" ] && kill "$(cat "$pid_file")" 2>/dev/null || true
        rm -f "$pid_file"
    done
}
if [ "$command" = stop ]; then
    stop_all "$2"
    exit 0
fi
# Daemons live in sbin, which a user's PATH may lack.
nginx=$(command -v nginx || echo /usr/sbin/nginx)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
root=$(realpath -m "$2")
state=$(realpath -m "$3")
mkdir -p "$root" "$state"
stop_all "$state"
rm -f "$state/port" "$state/proxy_port" "$state/access.log" "$state/proxy.log"
# Workers of a server started by root would run as nobody, who may not reach the build folder.
user_line=""
[ "$(id -u)" = 0 ] && user_line="user root;"
for attempt in $(seq 1 20); do
    port=$((20000 + RANDOM % 20000))
    cat >"$state/nginx.conf" <<CONF
daemon on;
$user_line
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log;
events { worker_connections 64; }
http {
    log_format ranges '\$request "\$http_range" \$status \$body_bytes_sent user=\$remote_user';
    access_log $state/access.log ranges;
    client_body_temp_path $state/body;
    proxy_temp_path $state/proxy;
    fastcgi_temp_path $state/fastcgi;
    uwsgi_temp_path $state/uwsgi;
    scgi_temp_path $state/scgi;
    types { application/octet-stream 7z; }
    server {
        listen 127.0.0.1:$port;
        root $root;
        location /norange/ { alias $root/; max_ranges 0; }
        location /slow/ { alias $root/; limit_rate 200k; }
        location /proxied/ { alias $root/; allow 127.0.0.2; deny all; }
    }
}
CONF
    if "$nginx" -e "$state/error.log" -c "$state/nginx.conf" -p "$state" 2>>"$state/error.log"; then
        echo "$port" >"$state/port"
        break
    fi
done
[ -f "$state/port" ] || { echo "web_server.sh: nginx did not start (see $state/error.log)" >&2; exit 1; }

# Started by root the proxy drops to nobody, who must write its log and pid file.
proxy_user=""
[ "$(id -u)" = 0 ] && proxy_user=$'User nobody\nGroup nogroup'
chmod 777 "$state"
for attempt in $(seq 1 20); do
    proxy_port=$((20000 + RANDOM % 20000))
    cat >"$state/tinyproxy.conf" <<CONF
$proxy_user
Port $proxy_port
Listen 127.0.0.2
Bind 127.0.0.2
Timeout 60
MaxClients 20
Allow 127.0.0.0/8
BasicAuth ann secret
PidFile "$state/tinyproxy.pid"
LogFile "$state/proxy.log"
LogLevel Info
CONF
    "$tinyproxy" -c "$state/tinyproxy.conf" 2>>"$state/error.log" || continue
    for wait in $(seq 1 50); do
        [ -s "$state/tinyproxy.pid" ] && break
        sleep 0.1
    done
    if [ -s "$state/tinyproxy.pid" ] && kill -0 "$(cat "$state/tinyproxy.pid")" 2>/dev/null; then
        echo "$proxy_port" >"$state/proxy_port"
        exit 0
    fi
done
echo "web_server.sh: tinyproxy did not start (see $state/error.log)" >&2
exit 1
