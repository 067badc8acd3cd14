#!/usr/bin/env python3
"""A news server on 127.0.0.1 that misbehaves in one way, for the fault tests.

  hostile_server.py PORT MODE LIFETIME_SECONDS

MODE is one of
  trickle        the reply to GROUP comes one byte a second and never ends its line
  endless-list   LIST goes on with new groups for as long as the client reads
  huge-subjects  the group alt.hostile has 400 articles, each the first part of its own set
                 with a subject and a From of 1 MB, so all of them stay pending
  stalled-list   LIST sends two groups and then nothing more, without closing

Every other command gets a plausible reply. Prints "ready" once it listens; exits after
LIFETIME_SECONDS whatever happens.
"""
import asyncio
import sys

HOST = "127.0.0.1"
ARTICLES = 400
HUGE = 1 << 20


async def trickle(writer):
    for _ in range(3600):
        writer.write(b"2")
        await writer.drain()
        await asyncio.sleep(1)


async def endless_list(writer):
    writer.write(b"215 list follows\r\n")
    n = 0
    while True:
        lines = b"".join(b"alt.endless.group%09d 0000000001 0000000001 y\r\n" % (n + i)
                         for i in range(1000))
        n += 1000
        writer.write(lines)
        await writer.drain()


def huge_head(number):
    name = b"n" * HUGE + b"%d" % number
    return (b"221 %d <a%d@hostile> head\r\n" % (number, number) +
            b"From: " + b"f" * HUGE + b"\r\n" +
            b"Subject: " + name + b" (1/2)\r\n" +
            b"Message-ID: <a%d@hostile>\r\nLines: 1000\r\n.\r\n" % number)


async def session(reader, writer, mode):
    writer.write(b"200 hostile server ready\r\n")
    try:
        while True:
            line = await reader.readline()
            if not line:
                break
            words = line.strip().split()
            command = words[0].upper() if words else b""
            if command == b"QUIT":
                writer.write(b"205 bye\r\n")
                break
            if command == b"MODE":
                writer.write(b"200 reader\r\n")
            elif command == b"GROUP" and mode == "trickle":
                await trickle(writer)
            elif command == b"GROUP":
                writer.write(b"211 %d 1 %d %s\r\n" % (ARTICLES, ARTICLES, words[1]))
            elif command == b"LIST" and mode == "endless-list":
                await endless_list(writer)
            elif command == b"LIST" and mode == "stalled-list":
                writer.write(b"215 list\r\nalt.one 1 1 y\r\nalt.two 1 1 y\r\n")
                await writer.drain()
                await asyncio.sleep(3600)
            elif command == b"LIST":
                writer.write(b"215 list\r\nalt.hostile 0000000400 0000000001 y\r\n.\r\n")
            elif command == b"HEAD" and mode == "huge-subjects":
                writer.write(huge_head(int(words[1])))
            else:
                writer.write(b"430 no such article\r\n")
            await writer.drain()
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        writer.close()


async def main(port, mode, lifetime):
    server = await asyncio.start_server(lambda r, w: session(r, w, mode), HOST, port)
    print("ready", flush=True)
    async with server:
        await asyncio.sleep(lifetime)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[2] not in ("trickle", "endless-list", "huge-subjects",
                                                  "stalled-list"):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    asyncio.run(main(int(sys.argv[1]), sys.argv[2], float(sys.argv[3])))
