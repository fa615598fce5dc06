#!/bin/sh
# Launcher of the Quillmar demo application (Unix twin of QuillmarApp.bat).
JAVA_PATH=""
CLASSPATH=lib/qmtapp.jar
APP_HOME=$(cd "$(dirname "$0")/.." && pwd)
echo "$*" >> "$APP_HOME/launcher.log"
cd "$APP_HOME" || exit 1
case "$1" in
  -register) echo "registered $2 with $3 from $4" > conf/registration.txt ;;
  -unregister) rm -f conf/registration.txt ;;
  -a) [ -x "$JAVA_PATH/bin/java" ] && exec "$JAVA_PATH/bin/java" -cp "$CLASSPATH" "$2" ;;
esac
