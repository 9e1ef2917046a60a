"""Sends report mails with Python's smtplib, one each time the mail benchmark asks.

usage: smtplib_send.py PORT ACCOUNT PASSWORD SUBJECT_GB2312_HEX
For every line read from standard input it sends one mail on a new connection with login, the
same message our client writes (From, To and Reply-To the mailbox, the mailbox again as Bcc in
the envelope only, four spaces in Base64), and prints the seconds that took; measured here, so
that neither the interpreter's start nor the pipe is part of the figure.
"""

import base64
import email.utils
import smtplib
import socket
import sys
import time

port, account, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
subject = bytes.fromhex(sys.argv[4])
# Given like our client's, so that smtplib's own getfqdn() lookup is not part of the figure.
local_name = socket.gethostname()

for _ in sys.stdin:
    start = time.perf_counter()
    words = "=?gb2312?B?" + base64.b64encode(subject).decode() + "?="
    message = (f"From: {account}\r\nTo: {account}\r\nSubject: {words}\r\n"
               f"Date: {email.utils.formatdate(localtime=True)}\r\nReply-To: {account}\r\n"
               "MIME-Version: 1.0\r\nContent-type: text/plain; charset=\"us-ascii\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n"
               + base64.encodebytes(b"    ").decode().replace("\n", "\r\n"))
    with smtplib.SMTP("127.0.0.1", port, local_hostname=local_name, timeout=2) as smtp:
        smtp.login(account, password)
        smtp.sendmail(account, [account, account], message)
    print(time.perf_counter() - start, flush=True)
