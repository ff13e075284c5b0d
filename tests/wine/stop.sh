#!/bin/bash
# Ends the X server and wineserver that prefix.sh started.
. "$(dirname "$0")/common.sh"
FindTools
SetPrefix
StopServers
echo "stopped"
