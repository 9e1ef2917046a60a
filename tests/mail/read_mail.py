"""Prints what Python's email package reads in a received message, for the mail tests.

usage: read_mail.py MESSAGE.eml
Prints one "name=hex" line per fact, the value as hexadecimal UTF-8 so that any text survives;
the facts of the envelope file MESSAGE.json that the test server wrote come first.
"""

import email
import email.policy
import json
import sys


def put(name, value):
    print(f"{name}={value.encode('utf-8').hex()}")


path = sys.argv[1]
with open(path.removesuffix(".eml") + ".json") as f:
    envelope = json.load(f)
for name in ("login", "password", "mechanism", "helo", "mail_from"):
    put(name, envelope[name])
put("rcpt_tos", ",".join(envelope["rcpt_tos"]))

with open(path, "rb") as f:
    raw = f.read()
message = email.message_from_bytes(raw, policy=email.policy.default)
put("header_names", ",".join(message.keys()))
for name in ("From", "To", "Cc", "Bcc", "Reply-To", "Subject", "Date"):
    value = message.get(name)
    put(name.lower(), "" if value is None else str(value))
raw_subject = raw.split(b"\r\n\r\n", 1)[0].split(b"\r\nSubject: ", 1)[1].split(b"\r\nDate:")[0]
put("raw_subject", raw_subject.decode("latin-1"))
put("date_ok", "yes" if message["Date"].datetime is not None else "no")
put("content_type", message.get_content_type())
put("charset", message.get_content_charset() or "")
put("transfer_encoding", message.get("Content-Transfer-Encoding", ""))
put("body", message.get_content())
