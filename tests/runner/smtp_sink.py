#!/usr/bin/python3
# SMTP server for the e-mail tests, on aiosmtpd: smtp_sink.py FOLDER HOST PORT
# DROP MODE. Listens on HOST at PORT (0: a free one below 32768, as Tarvik keeps
# the port in a signed 16-bit number), prints "port N" once it accepts
# connections and "connection K" for each one; message K is saved in FOLDER as
# K.json (the envelope, what Python's email package reads, the bytes received).
# It closes the first DROP connections before the greeting; MODE "silent" never
# says a word, "swallow-end" never answers a message's ".".

import asyncio, base64, email, email.policy, json, os, random, socket, sys

from aiosmtpd.smtp import SMTP


def utf8(text):
    # Raw UTF-8 in headers (RFC 6532) reaches the parser as surrogate escapes.
    return None if text is None else text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def describe(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    sender = msg["From"].addresses[0] if msg["From"] and msg["From"].addresses else None
    text, attachments = None, []
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
        "headers": [[name, utf8(str(value))] for name, value in msg.items()],
        "fromName": utf8(sender.display_name) if sender else None,
        "fromAddress": utf8(sender.addr_spec) if sender else None,
        "to": [utf8(a.addr_spec) for a in msg["To"].addresses] if msg["To"] else [],
        "subject": utf8(str(msg["Subject"])) if msg["Subject"] is not None else None,
        "text": text,
        "attachments": attachments,
        "defects": [str(d) for part in msg.walk() for d in part.defects],
    }


class Saver:
    def __init__(self, folder, mode):
        self.folder, self.mode, self.count = folder, mode, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        summary = describe(envelope.original_content)
        summary.update(mailFrom=envelope.mail_from, rcptTo=list(envelope.rcpt_tos),
                       raw=base64.b64encode(envelope.original_content).decode("ascii"))
        with open(base + ".json.part", "w", encoding="utf-8") as f:
            json.dump(summary, f, ensure_ascii=False)
        os.replace(base + ".json.part", base + ".json")
        if self.mode == "swallow-end":
            await asyncio.Event().wait()  # the client waits for a reply in vain
        return "250 Message accepted for delivery"


class Mute(asyncio.Protocol):
    def __init__(self, drop):
        self.drop = drop

    def connection_made(self, transport):
        self.transport = transport  # kept open and silent unless dropped
        if self.drop:
            transport.close()


async def serve(folder, host, port, drop, mode):
    loop = asyncio.get_running_loop()
    handler, connections = Saver(folder, mode), 0

    def factory():
        nonlocal connections
        connections += 1
        print(f"connection {connections}", flush=True)
        if connections <= drop or mode == "silent":
            return Mute(connections <= drop)
        return SMTP(handler, hostname="sink.test", loop=loop, enable_SMTPUTF8=True)

    for port in [port] if port else random.sample(range(20000, 32768), 200):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.bind((host, port))
            break
        except OSError:
            sock.close()
    server = await loop.create_server(factory, sock=sock)
    print(f"port {sock.getsockname()[1]}", flush=True)
    async with server:
        await server.serve_forever()


folder, host, port, drop, mode = sys.argv[1:]
asyncio.run(serve(folder, host, int(port), int(drop), mode))
