#!/usr/bin/env python3
"""Makes the fixtures of a key that claims another key's subkeys.

Olivia (made with GnuPG) has a certification-only primary key, an Ed25519
signing subkey and a Cv25519 encryption subkey, and clear-signs a text with
her signing subkey. Mallory binds both of Olivia's subkeys to his own key as
encryption subkeys: binding signatures he can make without Olivia's secret
keys, and without the back-signature a signing subkey needs.

Run once; the results are committed in tests/fixtures/:
  olivia.pgp           Olivia's public key
  olivia-signed.asc    a text Olivia clear-signed
  mallory-claims.pgp   Mallory's public key with Olivia's two subkeys
Needs gpg and python3-cryptography.
"""
import hashlib
import os
import struct
import subprocess
import sys
import tempfile
import time

from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
from cryptography.hazmat.primitives import serialization

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures")
ED25519_OID = bytes.fromhex("2B06010401DA470F01")


def packet(tag, body):
    n = len(body)
    if n < 192:
        head = bytes([n])
    elif n < 8384:
        n -= 192
        head = bytes([(n >> 8) + 192, n & 0xFF])
    else:
        head = b"\xff" + struct.pack(">I", n)
    return bytes([0xC0 | tag]) + head + body


def packets(data):
    pos = 0
    while pos < len(data):
        h = data[pos]
        if h & 0x40:
            tag, l0 = h & 0x3F, data[pos + 1]
            if l0 < 192:
                length, start = l0, pos + 2
            elif l0 < 224:
                length, start = ((l0 - 192) << 8) + data[pos + 2] + 192, pos + 3
            else:
                length, start = struct.unpack(">I", data[pos + 2:pos + 6])[0], pos + 6
        else:
            tag, width = (h >> 2) & 0x0F, [1, 2, 4][h & 3]
            length, start = int.from_bytes(data[pos + 1:pos + 1 + width], "big"), pos + 1 + width
        yield tag, data[start:start + length]
        pos = start + length


def mpi(value):
    value = value.lstrip(b"\0")
    bits = len(value) * 8 - (8 - value[0].bit_length()) if value else 0
    return struct.pack(">H", bits) + value


def key_hash_part(body):
    return b"\x99" + struct.pack(">H", len(body)) + body


def subpacket(kind, value):
    return bytes([len(value) + 1, kind]) + value


def sign(private, fingerprint, sig_type, hashed_prefix, flags, created):
    hashed = (subpacket(2, struct.pack(">I", created)) + subpacket(33, b"\x04" + fingerprint)
              + subpacket(27, bytes([flags])))
    head = bytes([4, sig_type, 22, 8]) + struct.pack(">H", len(hashed)) + hashed
    trailer = b"\x04\xff" + struct.pack(">I", len(head))
    digest = hashlib.sha256(hashed_prefix + head + trailer).digest()
    signature = private.sign(digest)
    unhashed = subpacket(16, fingerprint[-8:])
    return packet(2, head + struct.pack(">H", len(unhashed)) + unhashed + digest[:2]
                  + mpi(signature[:32]) + mpi(signature[32:]))


def olivia(home):
    env = dict(os.environ, GNUPGHOME=home)
    gpg = ["gpg", "--batch", "--quiet", "--pinentry-mode", "loopback", "--passphrase", ""]
    uid = "Olivia Owner <olivia@example.org>"
    subprocess.run(gpg + ["--quick-gen-key", uid, "ed25519", "cert", "never"], env=env, check=True)
    listing = subprocess.run(["gpg", "--with-colons", "--list-keys", uid], env=env, check=True,
                             capture_output=True, text=True).stdout
    fpr = [line.split(":")[9] for line in listing.splitlines() if line.startswith("fpr")][0]
    subprocess.run(gpg + ["--quick-add-key", fpr, "ed25519", "sign", "never"], env=env, check=True)
    subprocess.run(gpg + ["--quick-add-key", fpr, "cv25519", "encr", "never"], env=env, check=True)
    public = subprocess.run(["gpg", "--export", fpr], env=env, check=True, capture_output=True).stdout
    signed = subprocess.run(gpg + ["--clearsign", "-u", fpr], env=env, check=True, capture_output=True,
                            input=b"Olivia wrote this.\n").stdout
    return public, signed


def mallory(olivia_public):
    private = Ed25519PrivateKey.generate()
    point = private.public_key().public_bytes(serialization.Encoding.Raw, serialization.PublicFormat.Raw)
    created = int(time.time())
    body = (bytes([4]) + struct.pack(">I", created) + bytes([22, len(ED25519_OID)]) + ED25519_OID
            + mpi(b"\x40" + point))
    fingerprint = hashlib.sha1(key_hash_part(body)).digest()
    uid = b"Mallory Impostor <mallory@example.org>"
    out = packet(6, body) + packet(13, uid)
    out += sign(private, fingerprint, 0x13, key_hash_part(body) + b"\xb4" + struct.pack(">I", len(uid)) + uid,
                0x03, created)
    for tag, sub in packets(olivia_public):
        if tag == 14:  # each of Olivia's subkeys, bound as an encryption subkey
            out += packet(14, sub)
            out += sign(private, fingerprint, 0x18, key_hash_part(body) + key_hash_part(sub), 0x0C, created)
    return out


def main():
    with tempfile.TemporaryDirectory() as home:
        os.chmod(home, 0o700)
        public, signed = olivia(home)
        subprocess.run(["gpgconf", "--homedir", home, "--kill", "all"], check=False)
    for name, data in (("olivia.pgp", public), ("olivia-signed.asc", signed),
                       ("mallory-claims.pgp", mallory(public))):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
