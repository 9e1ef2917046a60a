"""Sends report mails with Python's smtplib, for the mail benchmark.

usage: smtplib_send.py PORT ACCOUNT PASSWORD COUNT SUBJECT_GB2312_HEX
Each mail goes on a new connection with login, as the same message our client writes (From, To
and Reply-To the mailbox, Bcc the mailbox in the envelope only, four spaces in Base64). Prints
the seconds the COUNT mails took, measured here so that the interpreter's start is left out.
"""

import base64
import email.utils
import smtplib
import socket
import sys
import time

port, account, password, count = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
subject = bytes.fromhex(sys.argv[5])
# Given like our client's, so that smtplib's own getfqdn() lookup is not part of the figure.
local_name = socket.gethostname()

start = time.perf_counter()
for _ in range(count):
    words = "=?gb2312?B?" + base64.b64encode(subject).decode() + "?="
    message = (f"From: {account}\r\nTo: {account}\r\nSubject: {words}\r\n"
               f"Date: {email.utils.formatdate(localtime=True)}\r\nReply-To: {account}\r\n"
               "MIME-Version: 1.0\r\nContent-type: text/plain; charset=\"us-ascii\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n"
               + base64.encodebytes(b"    ").decode().replace("\n", "\r\n"))
    with smtplib.SMTP("127.0.0.1", port, local_hostname=local_name, timeout=2) as smtp:
        smtp.login(account, password)
        smtp.sendmail(account, [account, account], message)
print(time.perf_counter() - start)
