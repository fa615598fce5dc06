#!/usr/bin/env bash
# nginx-fixture.sh start <work> <update-service> <publish folder> <nginx.conf.in> [<host> <port>]
# nginx-fixture.sh stop <work>
#
# Serves the publish folder the way a vendor does: exported as a static tree
# and served by real nginx over TLS on 127.0.0.1. A certificate authority made
# here signs the server's certificate (for localhost and 127.0.0.1, or for
# <host>) and is added to the machine's trust store, which Wine's crypt32
# reads; stop takes it out again. A second nginx shows a self-signed
# certificate nobody trusts. Without <host> and <port> the trusted server
# listens on a free port; with them, on 127.0.0.1:<port> as <host> (which the
# caller maps to 127.0.0.1).
# Written for the tests: <work>/port and <work>/untrusted-port.
set -euo pipefail
action=$1
work=$2
ca_file=/usr/local/share/ca-certificates/vyn-test-ca-$(printf '%s' "$work" | md5sum | cut -c1-12).crt

stop_nginx() {
  local prefix=$1
  [ -f "$prefix/nginx.conf" ] || return 0
  nginx -p "$prefix" -c "$prefix/nginx.conf" -s quit 2>/dev/null || true
  for _ in $(seq 100); do [ -f "$prefix/nginx.pid" ] || return 0; sleep 0.1; done
  kill "$(cat "$prefix/nginx.pid")" 2>/dev/null || true
}

start_nginx() {
  local prefix=$1 listen=$2 cert=$3 key=$4 template=$5
  mkdir -p "$prefix/temp"
  # Started as root, nginx runs its workers as an unprivileged user, who may
  # not be able to enter the folder the build lives in (a clone below /root or
  # a private temporary folder). The workers run as whoever started the
  # fixture instead, so the tree is readable wherever the clone is. Two test
  # locations answer with redirects: one to plain http, one within https.
  local moved_within='\1location = /moved/within-https { absolute_redirect off; return 302 /servlet/SoftwareUpdateServlet?task=install\&file=7; }'
  { [ "$(id -u)" != 0 ] || echo "user $(id -un) $(id -gn);"
    sed -e "s|@PREFIX@|$prefix|g" -e "s|@TREE@|$work/tree|g" -e "s|@LISTEN@|$listen|g" \
        -e "s|@CERT@|$cert|g" -e "s|@KEY@|$key|g" \
        -e "s|^\( *\)location / {|\1location = /moved/to-http { return 302 http://127.0.0.1:1/files/; }\n$moved_within\n&|" \
        "$template"; } > "$prefix/nginx.conf"
  nginx -p "$prefix" -c "$prefix/nginx.conf"
}

case $action in
stop)
  stop_nginx "$work/trusted"
  stop_nginx "$work/untrusted"
  if [ -f "$ca_file" ]; then rm -f "$ca_file"; update-ca-certificates >/dev/null 2>&1; fi
  exit 0
  ;;
start)
  service=$3
  publish=$4
  template=$5
  host=${6:-localhost}
  fixed_port=${7:-}
  "$0" stop "$work"
  rm -rf "$work"
  mkdir -p "$work/tls"
  cd "$work/tls"
  quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }; }
  quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 \
    -subj "/CN=VYN2005 test CA" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign
  quiet openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=$host"
  printf '%s\n' "subjectAltName=DNS:$host,IP:127.0.0.1" 'basicConstraints=CA:FALSE' \
    'keyUsage=digitalSignature,keyEncipherment' 'extendedKeyUsage=serverAuth' > server.ext
  quiet openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 2 \
    -extfile server.ext
  cat server.crt ca.crt > server-chain.crt
  quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout stranger.key -out stranger.crt -days 2 \
    -subj "/CN=localhost" -addext subjectAltName=DNS:localhost,IP:127.0.0.1
  cp ca.crt "$ca_file"
  update-ca-certificates >/dev/null 2>&1

  read -r port untrusted_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
  base="https://$host:$port"
  if [ -n "$fixed_port" ]; then
    port=$fixed_port
    base="https://$host"
    [ "$port" = 443 ] || base="$base:$port"
  fi
  "$service" --root "$publish" --export "$work/tree" --base "$base"
  start_nginx "$work/trusted" "127.0.0.1:$port" "$work/tls/server-chain.crt" "$work/tls/server.key" "$template"
  start_nginx "$work/untrusted" "127.0.0.1:$untrusted_port" "$work/tls/stranger.crt" "$work/tls/stranger.key" \
    "$template"
  for _ in $(seq 100); do
    if curl -s --cacert "$work/tls/ca.crt" --resolve "$host:$port:127.0.0.1" -o /dev/null -w '%{http_code}' \
         "https://$host:$port/" | grep -q 404; then
      echo "$port" > "$work/port"
      echo "$untrusted_port" > "$work/untrusted-port"
      exit 0
    fi
    sleep 0.1
  done
  echo "nginx did not answer on port $port" >&2
  exit 1
  ;;
esac
