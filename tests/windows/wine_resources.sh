#!/usr/bin/env bash
# The version record and the icon, read back from the built corvane.exe with
# the Win32 version and resource calls.
#
#   wine_resources.sh CORVANE_EXE READ_RESOURCES_EXE
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
. "$here/wine.sh"

CORVANE=("$WINE" "$(realpath "$2")")
CORVANE_EOL=crlf

expect 0 "file version 1.0.0.0
product version 1.0.0.0
file type 1
translation 0409 04B0
ProductName: Corvane
ProductVersion: 1.00
FileVersion: 1.00
FileDescription: Queries the Windows protected file list
Comments: Queries the Windows protected file list
icon groups: 1
icon 101: 2 images
image 16x16, 16 colours, 4 bits per pixel; bitmap 16x16, 4 bits per pixel, sizes agree, loads
image 32x32, 16 colours, 4 bits per pixel; bitmap 32x32, 4 bits per pixel, sizes agree, loads
" "$(winpath "$(realpath "$1")")"

finish
