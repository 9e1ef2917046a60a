#!/usr/bin/python3
"""An SMTP server for the end-to-end tests: aiosmtpd offering AUTH LOGIN and PLAIN without TLS,
accepting one account, and saving every message it receives as <n>.eml in a folder."""
import argparse
import asyncio
import itertools
import pathlib
import signal

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Saver:
    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.numbers = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        n = next(self.numbers)
        path = self.folder / f"{n:03d}.eml"
        envelope_info = (f"X-Envelope-From: {envelope.mail_from}\r\n"
                         f"X-Envelope-To: {','.join(envelope.rcpt_tos)}\r\n"
                         f"X-Login: {session.auth_data.login.decode() if session.auth_data else ''}\r\n")
        path.with_suffix(".tmp").write_bytes(envelope_info.encode() + envelope.original_content)
        path.with_suffix(".tmp").rename(path)
        return "250 OK"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--account", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == args.account
              and auth_data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
    controller = Controller(Saver(args.folder), hostname="127.0.0.1", port=args.port,
                            authenticator=authenticate, auth_require_tls=False)
    controller.start()
    print("ready", flush=True)
    try:
        signal.sigwait({signal.SIGTERM, signal.SIGINT})
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
