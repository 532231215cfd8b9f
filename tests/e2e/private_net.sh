#!/bin/sh
# Runs a command in a network of its own: loopback and a pair of virtual interfaces, which give a
# WebRTC call a host address (it never offers loopback) while nothing it sends can leave.
set -e
[ "${QUILLO_PRIVATE_NET:-}" = 1 ] || QUILLO_PRIVATE_NET=1 exec unshare --net "$0" "$@"
ip link add quillo0 type veth peer name quillo1
ip addr add 10.203.0.1/24 dev quillo0
for link in lo quillo0 quillo1; do ip link set "$link" up; done
exec "$@"
