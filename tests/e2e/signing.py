"""Signing as a vendor does it: a throwaway certificate made with openssl,
`make sign`, and osslsigncode's own verdict on the result."""

import struct
import subprocess

import winehost


def throwaway_certificate(folder, name="signer"):
    """A self-signed certificate and its key, good for a day; returns (cert, key)."""
    cert, key = folder / f"{name}.pem", folder / f"{name}.key"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", f"/CN=Throwaway {name}", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True, timeout=120)
    return cert, key


def sign(cert, key, exe):
    """Signs exe in place with `make sign`; returns what it printed."""
    done = subprocess.run(["make", "-s", "-C", str(winehost.ROOT), "sign", f"CERT={cert}", f"KEY={key}",
                           f"EXE={exe}"], capture_output=True, text=True, timeout=300)
    if done.returncode != 0:
        raise AssertionError(f"make sign failed: {done.stdout}{done.stderr}")
    return done.stdout + done.stderr


def verify(cert, exe):
    """osslsigncode verify against cert as the only trusted root: (passed, what it said)."""
    done = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(exe)],
                          capture_output=True, text=True, timeout=120)
    return done.returncode == 0, done.stdout + done.stderr


def security_directory(exe):
    """(file offset, size) of the certificate table that the PE header lists."""
    data = exe.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<II", data, pe + 24 + 96 + 4 * 8)
