#!/usr/bin/env python3
"""Writes a public key ring holding one Ed25519 key with N user IDs (default
100000), each with a valid self-certification, for the large-ring benchmark.
Usage: make-many-uids.py OUT [N]"""
import hashlib
import struct
import sys
import time

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey

ED25519_OID = bytes.fromhex("2b06010401da470f01")
CREATED = int(time.time()) - 86400


def packet(tag, body):
    head = bytes([0xC0 | tag])
    n = len(body)
    if n < 192:
        head += bytes([n])
    elif n < 8384:
        n -= 192
        head += bytes([(n >> 8) + 192, n & 0xFF])
    else:
        head += b"\xff" + struct.pack(">I", n)
    return head + body


def mpi(data):
    data = data.lstrip(b"\0")
    bits = len(data) * 8 - (8 - data[0].bit_length()) if data else 0
    return struct.pack(">H", bits) + data


def subpacket(kind, data):
    return bytes([len(data) + 1, kind]) + data


def certify(secret, key_body, fingerprint, uid):
    hashed = (subpacket(33, b"\x04" + fingerprint) +
              subpacket(2, struct.pack(">I", CREATED)) +
              subpacket(27, b"\x03"))
    trailer = bytes([4, 0x13, 22, 8]) + struct.pack(">H", len(hashed)) + hashed
    h = hashlib.sha256()
    h.update(b"\x99" + struct.pack(">H", len(key_body)) + key_body)
    h.update(b"\xb4" + struct.pack(">I", len(uid)) + uid)
    h.update(trailer + b"\x04\xff" + struct.pack(">I", len(trailer)))
    digest = h.digest()
    sig = secret.sign(digest)
    unhashed = subpacket(16, fingerprint[-8:])
    body = (trailer + struct.pack(">H", len(unhashed)) + unhashed + digest[:2] +
            mpi(sig[:32]) + mpi(sig[32:]))
    return packet(2, body)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    secret = Ed25519PrivateKey.generate()
    public = secret.public_key().public_bytes(serialization.Encoding.Raw,
                                              serialization.PublicFormat.Raw)
    key_body = (bytes([4]) + struct.pack(">I", CREATED) + bytes([22, len(ED25519_OID)]) +
                ED25519_OID + mpi(b"\x40" + public))
    fingerprint = hashlib.sha1(b"\x99" + struct.pack(">H", len(key_body)) + key_body).digest()
    with open(out, "wb") as f:
        f.write(packet(6, key_body))
        for i in range(count):
            uid = f"Many User {i:06d} <user{i:06d}@many.example>".encode()
            f.write(packet(13, uid))
            f.write(certify(secret, key_body, fingerprint, uid))
    print(f"made {out}: one key {fingerprint.hex().upper()} with {count} user IDs")


if __name__ == "__main__":
    main()
