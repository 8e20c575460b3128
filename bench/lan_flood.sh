#!/usr/bin/env bash
# Flood of SEND datagrams on the virtual LAN: palaverlyd next to a minimal receive loop.
exec /usr/bin/python3 "$(dirname "$0")/lan_flood.py"
