#!/usr/bin/env bash
# squid-fixture.sh start <work>
# squid-fixture.sh stop <work>
#
# Two real squid proxies on 127.0.0.1, as a company network has them: "open"
# lets anyone through, "auth" asks for a user name and password (basic
# authentication, user vyn, password secret). Only inside the proxies does
# the host name updates.proxy-only.test resolve (to 127.0.0.1, squid's
# hosts_file), so a client reaches a server by that name only through a
# proxy. Nothing is cached. Squid drops root for its own user, who may not
# enter the folder the build lives in, so its files live in a folder of their
# own below /tmp. Written for the tests: <work>/open-port, <work>/auth-port
# and <work>/folder (the Linux folder with each proxy's <name>-access.log).
set -euo pipefail
action=$1
work=$2

stop_squid() {
  local folder=$1 name=$2
  [ -f "$folder/$name.conf" ] || return 0
  local pid
  pid=$(cat "$folder/$name.pid" 2>/dev/null || true)
  squid -f "$folder/$name.conf" -k shutdown 2>/dev/null || true
  [ -n "$pid" ] || return 0
  # Squid removes its pid file as it ends (its ended process may linger
  # unreaped, so the process id alone does not tell).
  for _ in $(seq 50); do [ -f "$folder/$name.pid" ] || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}

stop_all() {
  [ -f "$work/folder" ] || return 0
  local folder
  folder=$(cat "$work/folder")
  case $folder in /tmp/vyn-squid.*) ;; *) return 0 ;; esac
  stop_squid "$folder" open
  stop_squid "$folder" auth
  rm -rf "$folder"
}

start_squid() {
  local folder=$1 name=$2 port=$3
  { cat <<EOF
http_port 127.0.0.1:$port
visible_hostname vyn-test-proxy-$name
pid_filename $folder/$name.pid
access_log stdio:$folder/$name-access.log
cache_log $folder/$name-cache.log
cache_store_log none
cache deny all
cache_mem 1 MB
coredump_dir $folder
netdb_filename none
pinger_enable off
shutdown_lifetime 0 seconds
hosts_file $folder/hosts
EOF
    if [ "$name" = auth ]; then
      cat <<EOF
auth_param basic program /usr/lib/squid/basic_ncsa_auth $folder/passwords
auth_param basic children 1
auth_param basic realm VYN test proxy
acl signed_in proxy_auth REQUIRED
http_access allow signed_in
EOF
    fi
    echo "http_access allow localhost"
    echo "http_access deny all"
  } > "$folder/$name.conf"
  [ "$(id -u)" != 0 ] || chown -R proxy "$folder"
  squid -f "$folder/$name.conf"
}

case $action in
stop)
  stop_all
  rm -f "$work/folder"
  exit 0
  ;;
start)
  stop_all
  rm -rf "$work"
  mkdir -p "$work"
  folder=$(mktemp -d /tmp/vyn-squid.XXXXXX)
  chmod 755 "$folder"
  echo "$folder" > "$work/folder"
  echo "127.0.0.1 updates.proxy-only.test" > "$folder/hosts"
  echo "vyn:$(openssl passwd -apr1 secret)" > "$folder/passwords"
  read -r open_port auth_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
  start_squid "$folder" open "$open_port"
  start_squid "$folder" auth "$auth_port"
  for _ in $(seq 100); do
    # Both answer a request for a name nobody serves (squid's own error page).
    if curl -s -o /dev/null -x "http://127.0.0.1:$open_port" http://vyn-nobody.invalid/ &&
       curl -s -o /dev/null -x "http://127.0.0.1:$auth_port" http://vyn-nobody.invalid/; then
      echo "$open_port" > "$work/open-port"
      echo "$auth_port" > "$work/auth-port"
      exit 0
    fi
    sleep 0.1
  done
  echo "squid did not answer on ports $open_port and $auth_port" >&2
  cat "$folder"/*-cache.log >&2 || true
  exit 1
  ;;
esac
