#!/usr/bin/python3
"""SMTP server for the e-mail tests, on top of aiosmtpd.

Listens on HOST at a free port below 32768 (Tarvik keeps the mail port in a
signed 16-bit number, and the kernel hands out port 0 binds above it), prints "port N" once it accepts connections
and "connection K" for every connection it accepts. Each message received is
saved in FOLDER as K.eml (the bytes as received) and K.json: the envelope and
what Python's email package reads from the message. The .json file appears
last, so a test may read both once it exists.

Modes for failing servers:
  --drop-first N   close the first N connections at once, before the greeting
  --silent         accept connections and never say a word
  --swallow-end    take a message (and save it) but never answer its final "."
"""

import argparse
import asyncio
import base64
import email
import email.policy
import json
import os
import random
import socket
import sys

from aiosmtpd.smtp import SMTP


def utf8(text):
    # Raw UTF-8 in headers (RFC 6532, sent with SMTPUTF8) reaches the parser
    # as surrogate escapes.
    if text is None:
        return None
    return text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def describe(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    defects = [str(d) for part in msg.walk() for d in part.defects]
    headers = [[name, utf8(str(value))] for name, value in msg.items()]
    sender = msg["From"]
    from_name = from_address = None
    if sender is not None and sender.addresses:
        from_name = utf8(sender.addresses[0].display_name)
        from_address = utf8(sender.addresses[0].addr_spec)
    to = []
    if msg["To"] is not None:
        to = [utf8(a.addr_spec) for a in msg["To"].addresses]
    text = None
    attachments = []
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment":
            attachments.append({
                "filename": part.get_filename(),
                "contentType": part.get_content_type(),
                "transferEncoding": part.get("Content-Transfer-Encoding", ""),
                "data": base64.b64encode(part.get_payload(decode=True)).decode("ascii"),
            })
        elif part.get_content_type() == "text/plain" and text is None:
            text = part.get_content().replace("\r\n", "\n")
    return {
        "headers": headers,
        "fromName": from_name,
        "fromAddress": from_address,
        "to": to,
        "subject": utf8(str(msg["Subject"])) if msg["Subject"] is not None else None,
        "contentType": msg.get_content_type(),
        "text": text,
        "attachments": attachments,
        "defects": defects,
    }


class Saver:
    def __init__(self, folder, swallow_end):
        self.folder = folder
        self.swallow_end = swallow_end
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        raw = envelope.original_content
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        summary = describe(raw)
        summary["ehlo"] = session.host_name
        summary["mailFrom"] = envelope.mail_from
        summary["rcptTo"] = list(envelope.rcpt_tos)
        with open(base + ".json.part", "w", encoding="utf-8") as f:
            json.dump(summary, f, ensure_ascii=False)
        os.replace(base + ".json.part", base + ".json")
        if self.swallow_end:
            await asyncio.Event().wait()  # the client waits for a reply in vain
        return "250 Message accepted for delivery"


class Dropper(asyncio.Protocol):
    def connection_made(self, transport):
        transport.close()


class Silent(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport  # keep it open, say nothing


def bind(host, port):
    candidates = [port] if port else random.sample(range(20000, 32768), 200)
    for candidate in candidates:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.bind((host, candidate))
            return sock
        except OSError:
            sock.close()
    raise SystemExit("no free port")


async def serve(args):
    loop = asyncio.get_running_loop()
    handler = Saver(args.folder, args.swallow_end)
    connections = 0

    def factory():
        nonlocal connections
        connections += 1
        print(f"connection {connections}", flush=True)
        if connections <= args.drop_first:
            return Dropper()
        if args.silent:
            return Silent()
        return SMTP(handler, hostname="sink.test", loop=loop, enable_SMTPUTF8=True)

    sock = bind(args.host, args.port)
    server = await loop.create_server(factory, sock=sock)
    print(f"port {sock.getsockname()[1]}", flush=True)
    async with server:
        await server.serve_forever()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--drop-first", type=int, default=0)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--swallow-end", action="store_true")
    args = parser.parse_args()
    try:
        asyncio.run(serve(args))
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
