#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that passes the server's replies on at a limited rate, so that a
test can act while a download is under way, and can drop the connection part way.

  slow_proxy.py LISTEN_PORT SERVER_PORT BYTES_PER_SECOND LIFETIME_SECONDS [CUT_AFTER]

BYTES_PER_SECOND 0 means no limit. With CUT_AFTER, each connection is closed once that many
bytes of replies have been passed on. SERVER_PORT 0 stands for a hung server: connections are
accepted and never answered. Prints "ready" once it listens; exits after
LIFETIME_SECONDS whatever happens.
"""
import asyncio
import sys

HOST = "127.0.0.1"
CHUNK = 4096


async def pump(reader, writer, rate, cut_after=None):
    passed = 0
    try:
        while True:
            data = await reader.read(CHUNK)
            if not data:
                break
            if cut_after is not None and passed + len(data) >= cut_after:
                writer.write(data[:cut_after - passed])
                await writer.drain()
                writer.transport.abort()
                break
            passed += len(data)
            writer.write(data)
            await writer.drain()
            if rate:
                await asyncio.sleep(len(data) / rate)
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        writer.close()


async def relay(client_reader, client_writer, server_port, rate, cut_after):
    if server_port == 0:
        await client_reader.read()  # until the client gives up
        client_writer.close()
        return
    try:
        server_reader, server_writer = await asyncio.open_connection(HOST, server_port)
    except OSError:
        client_writer.close()
        return
    replies = asyncio.ensure_future(pump(server_reader, client_writer, rate, cut_after))
    commands = asyncio.ensure_future(pump(client_reader, server_writer, 0))
    await replies
    # Once the replies end (server gone or connection cut), the other direction goes too.
    commands.cancel()
    server_writer.close()


async def main(listen_port, server_port, rate, lifetime, cut_after):
    server = await asyncio.start_server(
        lambda r, w: relay(r, w, server_port, rate, cut_after), HOST, listen_port)
    print("ready", flush=True)
    async with server:
        await asyncio.sleep(lifetime)


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    cut = int(sys.argv[5]) if len(sys.argv) == 6 else None
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4]),
                     cut))
