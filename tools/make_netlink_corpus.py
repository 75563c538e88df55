#!/usr/bin/env python3
"""Writes seed datagrams for the netlink fuzz target into fuzz/corpus/netlink/."""
import os
import socket
import struct
import sys

RTM_NEWLINK, RTM_DELLINK, RTM_NEWADDR, RTM_DELADDR, RTM_NEWROUTE, RTM_DELROUTE = 16, 17, 20, 21, 24, 25
NLMSG_ERROR, NLMSG_DONE, NLMSG_OVERRUN = 2, 3, 4


def pad(b):
    return b + b"\0" * (-len(b) % 4)


def attr(kind, payload):
    return pad(struct.pack("=HH", 4 + len(payload), kind) + payload)


def msg(kind, body, flags=0, seq=0):
    body = pad(body)
    return struct.pack("=IHHII", 16 + len(body), kind, flags, seq, 0) + body


def ifinfo(index, flags):
    return struct.pack("=BxHiII", 0, 1, index, flags, 0)


def ifaddr(family, prefix, scope, index):
    return struct.pack("=BBBBI", family, prefix, 0, scope, index)


def rtm(family, dst_len, table=254, kind=1):
    return struct.pack("=BBBBBBBBI", family, dst_len, 0, 0, table, 3, 0, kind, 0)


def ip4(text):
    return socket.inet_pton(socket.AF_INET, text)


def ip6(text):
    return socket.inet_pton(socket.AF_INET6, text)


def u32(v):
    return struct.pack("=I", v)


UP_RUNNING = 0x1 | 0x40
links = (msg(RTM_NEWLINK, ifinfo(1, UP_RUNNING | 0x8) + attr(3, b"lo\0"), 2, 1)
         + msg(RTM_NEWLINK, ifinfo(2, UP_RUNNING | 0x2) + attr(3, b"eth0\0") + attr(4, u32(1500)), 2, 1)
         + msg(NLMSG_DONE, u32(0), 2, 1))
addrs = (msg(RTM_NEWADDR, ifaddr(2, 24, 0, 2) + attr(1, ip4("192.0.2.10")) + attr(2, ip4("192.0.2.10")))
         + msg(RTM_NEWADDR, ifaddr(10, 64, 0, 2) + attr(1, ip6("2001:db8::10")) + attr(8, u32(0x80))))
hop = struct.pack("=HBBi", 8 + 8, 0, 0, 2) + attr(5, ip4("192.0.2.1"))
hop2 = struct.pack("=HBBi", 8, 0x10, 0, 3)
routes = (msg(RTM_NEWROUTE, rtm(2, 0) + attr(5, ip4("192.0.2.1")) + attr(4, u32(2)) + attr(6, u32(100)))
          + msg(RTM_NEWROUTE, rtm(2, 24) + attr(1, ip4("192.0.2.0")) + attr(4, u32(2)))
          + msg(RTM_NEWROUTE, rtm(10, 0) + attr(9, hop + hop2) + attr(15, u32(1000)))
          + msg(RTM_DELROUTE, rtm(10, 0) + attr(5, ip6("fe80::1")) + attr(4, u32(2))))
seeds = {
    "links": links,
    "addresses": addrs,
    "routes": routes,
    "everything": links + addrs + routes,
    "ptp_address": msg(RTM_NEWADDR, ifaddr(2, 32, 0, 3) + attr(1, ip4("10.0.0.1")) + attr(2, ip4("10.0.0.2"))),
    "link_down": msg(RTM_NEWLINK, ifinfo(2, 0x2) + attr(3, b"eth0\0")) + msg(RTM_DELLINK, ifinfo(2, 0)),
    "error_and_ack": msg(NLMSG_ERROR, struct.pack("=i", -16) + b"\0" * 16, 0, 5) + msg(NLMSG_ERROR, b"\0" * 20),
    "overrun": msg(NLMSG_OVERRUN, b""),
    "truncated": (links + addrs)[:-7],
    "oversize_attribute": msg(RTM_NEWADDR, ifaddr(2, 24, 0, 2) + struct.pack("=HH", 0xfff0, 1) + ip4("1.2.3.4")),
    "zero_length": struct.pack("=IHHII", 0, RTM_NEWLINK, 0, 0, 0) + ifinfo(2, 0),
}

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "fuzz", "corpus", "netlink")
os.makedirs(out, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
