#!/usr/bin/env bash
# Writes the demo's publish folder for the update service: the software
# descriptions and install scripts of demo/publish, the application zip
# packed from demo/app with the given VYN2005.exe and a small jar, and the
# stand-in Java runtime installer.
#   make-publish.sh <out-folder> <VYN2005.exe> <JavaRuntimeSetup.exe>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1 exe=$2 java_setup=$3

rm -rf "$out"
mkdir -p "$out"
cp -r "$here/publish/software" "$here/publish/scripts" "$out/"
mkdir -p "$out/files"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/bin" "$stage/conf" "$stage/lib" "$stage/jar/META-INF" "$stage/jar/com/quillmar/app/vyn"
cp "$here/app/bin/QuillmarApp.bat" "$here/app/bin/QuillmarApp.sh" "$exe" "$stage/bin/"
cp "$here/app/conf/VynApp.xml" "$stage/conf/"
printf 'Manifest-Version: 1.0\r\nMain-Class: com.quillmar.app.vyn.VynApp\r\n\r\n' > "$stage/jar/META-INF/MANIFEST.MF"
printf 'demo application class placeholder\n' > "$stage/jar/com/quillmar/app/vyn/VynApp.txt"
(cd "$stage/jar" && zip -qrX "$stage/lib/qmtapp.jar" META-INF com)
(cd "$stage" && zip -qrX "$out/files/vyn-app.zip" bin conf lib)
cp "$java_setup" "$out/files/JavaRuntimeSetup.exe"
