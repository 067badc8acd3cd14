#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that passes the server's replies on at a limited rate, so that a
test can act while a download is under way.

  slow_proxy.py LISTEN_PORT SERVER_PORT BYTES_PER_SECOND LIFETIME_SECONDS

Prints "ready" once it listens; exits after LIFETIME_SECONDS whatever happens.
"""
import asyncio
import sys

HOST = "127.0.0.1"
CHUNK = 4096


async def pump(reader, writer, rate):
    try:
        while True:
            data = await reader.read(CHUNK)
            if not data:
                break
            writer.write(data)
            await writer.drain()
            if rate:
                await asyncio.sleep(len(data) / rate)
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        writer.close()


async def relay(client_reader, client_writer, server_port, rate):
    try:
        server_reader, server_writer = await asyncio.open_connection(HOST, server_port)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pump(client_reader, server_writer, 0),
                         pump(server_reader, client_writer, rate))


async def main(listen_port, server_port, rate, lifetime):
    server = await asyncio.start_server(
        lambda r, w: relay(r, w, server_port, rate), HOST, listen_port)
    print("ready", flush=True)
    async with server:
        await asyncio.sleep(lifetime)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    asyncio.run(main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])))
