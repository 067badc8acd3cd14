#!/usr/bin/env python3
"""Asks the private news server what it holds, as an independent NNTP client.

  nntp_probe.py PORT group NAME             prints "first last count"
  nntp_probe.py PORT subjects NAME          prints "number<TAB>subject" per article
  nntp_probe.py PORT articles NAME DIR      writes each article to DIR/NUMBER
  nntp_probe.py PORT login USER PASS NAME   exit 0 when the login and GROUP succeed

Every call connects to 127.0.0.1 with a time limit.
"""
import os
import sys
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import nntplib

# The corpus holds lines far longer than nntplib's default limit of 2048 bytes.
nntplib._MAXLINE = 1 << 20

HOST = "127.0.0.1"
TIMEOUT = 30


def connect(port, user=None, password=None):
    return nntplib.NNTP(HOST, port, user=user, password=password,
                        readermode=user is None, usenetrc=False, timeout=TIMEOUT)


def cmd_group(port, name):
    with connect(port) as s:
        _, count, first, last, _ = s.group(name)
        print(first, last, count)


def cmd_subjects(port, name):
    with connect(port) as s:
        _, _, first, last, _ = s.group(name)
        if last < first:
            return
        _, overviews = s.over((first, last))
        for number, fields in overviews:
            print(f"{number}\t{fields['subject']}")


def cmd_articles(port, name, out_dir):
    with connect(port) as s:
        _, _, first, last, _ = s.group(name)
        for number in range(first, last + 1):
            try:
                _, info = s.article(number)
            except nntplib.NNTPTemporaryError:
                continue
            with open(os.path.join(out_dir, str(number)), "wb") as f:
                f.write(b"\n".join(info.lines) + b"\n")


def cmd_login(port, user, password, name):
    try:
        with connect(port, user, password) as s:
            s.group(name)
    except (nntplib.NNTPError, OSError) as e:
        print(f"login refused: {e}", file=sys.stderr)
        return 1
    return 0


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    port, command, args = int(argv[1]), argv[2], argv[3:]
    commands = {"group": cmd_group, "subjects": cmd_subjects,
                "articles": cmd_articles, "login": cmd_login}
    if command not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    return commands[command](port, *args) or 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
