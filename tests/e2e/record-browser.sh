#!/bin/sh
# Stands in for the web browser in the test prefixes: Wine's winebrowser calls
# it with the address the shell was asked to open. It notes the address, one a
# line, in C:\browser-log.txt of the prefix, and opens nothing.
printf '%s\r\n' "$1" >> "$WINEPREFIX/drive_c/browser-log.txt"
