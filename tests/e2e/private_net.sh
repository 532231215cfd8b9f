#!/bin/sh
# Runs a command in a network of its own, with a veth pair: a host address for WebRTC, no way out.
set -e
[ "${QUILLO_PRIVATE_NET:-}" = 1 ] || QUILLO_PRIVATE_NET=1 exec unshare --net "$0" "$@"
ip link add quillo0 type veth peer name quillo1
ip addr add 10.203.0.1/24 dev quillo0
for link in lo quillo0 quillo1; do ip link set "$link" up; done
exec "$@"
