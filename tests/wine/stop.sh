#!/bin/bash
# stop.sh <config>: ends the X server and wineserver that prefix.sh started.
. "$(dirname "$0")/common.sh"
UseConfig "${1:?configuration}"
FindTools
StopServers
echo "stopped"
