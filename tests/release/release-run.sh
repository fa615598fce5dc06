#!/usr/bin/env bash
# release-run.sh start <work> <update-service> <VYN2005.exe> <JavaRuntimeSetup.exe> <nginx.conf.in> <server URL>
# release-run.sh run <work> <JavaRuntimeSetup.exe>
# release-run.sh stop <work>
#
# Installs and uninstalls the demo application with a program of the release
# configuration, which has no server override: it asks the vendor's own
# address. For the run, that host name is mapped to 127.0.0.1 in /etc/hosts
# and served there by nginx (tests/e2e/nginx-fixture.sh) with a certificate
# for that name from a test certificate authority the machine trusts. The
# application zip carries the same release program, so the registration and
# the uninstall run it too. stop removes the mapping, the trust, and whatever
# the run left in the Wine prefix; it runs even when the run failed.
# Changing /etc/hosts and listening on port 443 need root: without root the
# run is skipped.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
action=$1
work=$2
marker="# vyn-release-run $work"
install_dir='C:\vyn-release-run'
home="$install_dir"'\Quillmar Technologies INC\QMTApp'
product_key='HKLM\Software\Quillmar Technologies INC\QMTApp\VYN'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VYN2005'
java_key='HKLM\Software\JavaSoft\Java Runtime Environment'

wine_run() { "$source_dir/scripts/wine-run" "$@"; }
registered() { wine_run reg query "$1" >/dev/null 2>&1; }
# /etc/hosts may be a file mounted into a container: rewritten in place,
# never replaced.
hosts_without_marker() { grep -vF "$marker" /etc/hosts || true; }

case $action in
start)
  service=$3 program=$4 java_setup=$5 template=$6 url=$7
  "$0" stop "$work"
  # A start that fails part-way takes back what it did.
  trap 'status=$?; [ $status = 0 ] || "$0" stop "$work"' EXIT
  mkdir -p "$work"
  if [ ! -f "$program" ]; then
    echo "skipped: the release-configuration program $program is not built (scripts/build builds it)" \
      | tee "$work/skipped"
    exit 0
  fi
  if [ "$(id -u)" != 0 ]; then
    echo "skipped: mapping a host name in /etc/hosts needs root" | tee "$work/skipped"
    exit 0
  fi
  read -r host port < <(python3 -c '
import sys, urllib.parse
u = urllib.parse.urlsplit(sys.argv[1])
if u.scheme != "https" or not u.hostname: sys.exit("the vendor server is not an https address: " + sys.argv[1])
print(u.hostname, u.port or 443)' "$url")
  if ! python3 -c '
import socket, sys
s = socket.socket()
try: s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError: sys.exit(1)' "$port"; then
    echo "port $port on 127.0.0.1 is taken: something else listens there" >&2
    exit 1
  fi
  "$source_dir/demo/make-publish.sh" "$work/publish" "$program" "$java_setup"
  { echo "127.0.0.1 $host $marker"; hosts_without_marker; } > "$work/hosts"
  cat "$work/hosts" > /etc/hosts
  "$here/../e2e/nginx-fixture.sh" start "$work/nginx" "$service" "$work/publish" "$template" "$host" "$port"
  ;;
run)
  program=$3 java_setup=$4
  if [ -f "$work/skipped" ]; then cat "$work/skipped"; exit 77; fi
  [ -f "$work/publish/files/vyn-app.zip" ] || { echo "the start fixture has not run" >&2; exit 1; }
  source "$source_dir/scripts/wine-env"
  unix_install_dir=$WINEPREFIX/drive_c/vyn-release-run
  unix_home="$unix_install_dir/Quillmar Technologies INC/QMTApp"
  mkdir -p "$unix_install_dir/logs"
  fail() {
    echo "release run: $*" >&2
    for log in "$unix_install_dir"/logs/*.log; do [ ! -f "$log" ] || { echo "--- $log"; cat "$log"; }; done
    exit 1
  }
  if ! registered "$java_key"; then
    touch "$work/java-registered"
    wine_run "$java_setup" 1.5.0_22 "$install_dir"'\java' || fail "the Java runtime could not be registered"
  fi
  touch "$work/installing"
  code=0
  wine_run "$program" -install -silent -dir "$install_dir" -log "$install_dir"'\logs\install.log' || code=$?
  [ $code = 0 ] || fail "the install ended with exit code $code"
  [ -f "$unix_home/lib/qmtapp.jar" ] || fail "the application's files are missing"
  registered "$product_key" && registered "$uninstall_key" || fail "the product is not registered"
  osslsigncode extract-signature -in "$program" -out "$work/signature.der" >/dev/null 2>&1 ||
    fail "the release program is not signed"
  cmp -s "$program" "$unix_home/bin/VYN2005.exe" || fail "the installed program is not the release program"
  code=0
  wine_run "$unix_home/bin/VYN2005.exe" -uninstall -silent -log "$install_dir"'\logs\uninstall.log' || code=$?
  [ $code = 0 ] || fail "the uninstall ended with exit code $code"
  ! registered "$product_key" && ! registered "$uninstall_key" || fail "the product is still registered"
  # The installed program removes itself through a copy after it has ended.
  for _ in $(seq 300); do [ -d "$unix_home" ] || break; sleep 0.1; done
  [ ! -d "$unix_home" ] || fail "the application's folder is still there"
  # Only the mapped name leads to this nginx: its log shows the program asked the vendor's address.
  access_log="$work/nginx/trusted/access.log"
  grep -q 'GET /servlet/SoftwareUpdateServlet?task=' "$access_log" && grep -q 'GET /files/vyn-app.zip' "$access_log" ||
    fail "the service at the vendor's address was not asked"
  if [ -f "$work/java-registered" ]; then
    wine_run reg delete "$java_key" /f >/dev/null 2>&1 && rm -f "$work/java-registered"
  fi
  rm -f "$work/installing"
  echo "release run: installed and uninstalled with $program ($(stat -c %s "$program") bytes, signed)" \
       "from the vendor's address served on 127.0.0.1"
  ;;
stop)
  if grep -qF "$marker" /etc/hosts 2>/dev/null; then
    hosts_without_marker > "$work/hosts.clean"
    cat "$work/hosts.clean" > /etc/hosts
  fi
  [ ! -d "$work/nginx" ] || "$here/../e2e/nginx-fixture.sh" stop "$work/nginx"
  # A run that ended early leaves its registration and files behind.
  if [ -f "$work/installing" ] || [ -f "$work/java-registered" ]; then
    source "$source_dir/scripts/wine-env"
    keys=()
    [ ! -f "$work/installing" ] || keys+=("$product_key" "$uninstall_key")
    [ ! -f "$work/java-registered" ] || keys+=("$java_key")
    for key in "${keys[@]}"; do wine_run reg delete "$key" /f >/dev/null 2>&1 || true; done
  fi
  if [ -d "$work/publish" ]; then
    source "$source_dir/scripts/wine-env"
    rm -rf "$WINEPREFIX/drive_c/vyn-release-run"
  fi
  rm -rf "$work"
  ;;
esac
