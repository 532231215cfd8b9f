#!/bin/sh
# Runs a command in a network of its own: loopback and one pair of virtual interfaces. A
# WebRTC call never offers a loopback address, so the pair gives both ends a host address
# while nothing the call sends can leave this namespace.
set -e
if [ "${QUILLO_PRIVATE_NET:-}" != 1 ]; then
  QUILLO_PRIVATE_NET=1 exec unshare --net "$0" "$@"
fi
ip link set lo up
ip link add quillo0 type veth peer name quillo1
ip addr add 10.203.0.1/24 dev quillo0
ip link set quillo0 up
ip link set quillo1 up
exec "$@"
