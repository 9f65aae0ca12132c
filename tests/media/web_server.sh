#!/usr/bin/env bash
# A real web server on loopback for the download tests (Debian's nginx-light):
#   web_server.sh start ROOT STATE   serves ROOT on a free port of 127.0.0.1;
#                                    writes STATE/port; /norange/ serves ROOT
#                                    without ranges (status 200 for a Range request)
#   web_server.sh stop STATE
# The access log (STATE/access.log) notes each request's Range header.
set -euo pipefail
command=$1
if [ "$command" = stop ]; then
    state=$2
    [ -f "$state/nginx.pid" ] && kill "$(cat "$state/nginx.pid")" 2>/dev/null || true
    exit 0
fi
root=$(realpath -m "$2")
state=$(realpath -m "$3")
mkdir -p "$root" "$state"
[ -f "$state/nginx.pid" ] && kill "$(cat "$state/nginx.pid")" 2>/dev/null || true
rm -f "$state/port" "$state/access.log"
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
    log_format ranges '\$request "\$http_range" \$status \$body_bytes_sent';
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
    }
}
CONF
    if nginx -c "$state/nginx.conf" -p "$state" 2>>"$state/error.log"; then
        echo "$port" >"$state/port"
        exit 0
    fi
done
echo "web_server.sh: nginx did not start (see $state/error.log)" >&2
exit 1
