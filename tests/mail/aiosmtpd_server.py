"""An aiosmtpd server on a free port of 127.0.0.1 for the mail tests and the benchmark.

It demands a login (LOGIN or PLAIN, without TLS) with one account and password, saves every
message it accepts as <outdir>/<n>.eml with its envelope in <outdir>/<n>.json, prints its port
on a line of its own once it listens, and runs until its standard input closes.

usage: aiosmtpd_server.py ACCOUNT PASSWORD OUTDIR [--only LOGIN|PLAIN] [--no-save]
"""

import argparse
import asyncio
import json
import logging
import os
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Authenticator:
    def __init__(self, account, password):
        self.account = account.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.account
              and auth_data.password == self.password)
        if not ok:
            return AuthResult(success=False, handled=False)  # aiosmtpd replies 535
        session.login_mechanism = mechanism
        return AuthResult(success=True, auth_data=auth_data)


class Saver:
    def __init__(self, outdir, save):
        self.outdir = outdir
        self.save = save
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        if self.save:
            base = os.path.join(self.outdir, str(self.count))
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".json", "w") as f:
                json.dump({
                    "login": session.auth_data.login.decode("latin-1"),
                    "password": session.auth_data.password.decode("latin-1"),
                    "mechanism": getattr(session, "login_mechanism", ""),
                    "helo": session.host_name or "",
                    "mail_from": envelope.mail_from,
                    "rcpt_tos": envelope.rcpt_tos,
                }, f)
        return "250 Message accepted for delivery"


async def main():
    # Its warnings about AUTH without TLS, one a connection, would only bury the test output.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("account")
    parser.add_argument("password")
    parser.add_argument("outdir")
    parser.add_argument("--only", choices=["LOGIN", "PLAIN"])
    parser.add_argument("--no-save", action="store_true")
    args = parser.parse_args()

    loop = asyncio.get_running_loop()
    handler = Saver(args.outdir, not args.no_save)
    authenticator = Authenticator(args.account, args.password)
    exclude = [m for m in ("LOGIN", "PLAIN") if args.only and m != args.only]

    def factory():
        # A fixed host name spares the reverse lookup aiosmtpd would make for each connection.
        return SMTP(handler, hostname="mail.test", authenticator=authenticator,
                    auth_required=True, auth_require_tls=False,
                    auth_exclude_mechanism=exclude, loop=loop)

    server = await loop.create_server(factory, host="127.0.0.1", port=0)
    print(server.sockets[0].getsockname()[1], flush=True)

    stdin_closed = loop.create_future()

    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096):
            loop.remove_reader(sys.stdin.fileno())
            stdin_closed.set_result(None)

    loop.add_reader(sys.stdin.fileno(), on_stdin)
    await stdin_closed
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
