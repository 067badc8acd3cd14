#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that delays every byte by half a round trip in each direction, as a
server that far away would, without limiting the rate: each chunk read is passed on once its
time has come, while the reads go on.

  delay_relay.py LISTEN_PORT SERVER_PORT ROUND_TRIP_MS LIFETIME_SECONDS [MB_PER_SECOND]

With MB_PER_SECOND, each connection passes at most that many megabytes a second in each
direction, as a provider that limits every connection does.

Prints "ready" once it listens; exits after LIFETIME_SECONDS whatever happens.
"""
import asyncio
import socket
import sys

HOST = "127.0.0.1"
CHUNK = 256 * 1024


async def pipe(reader, source, writer, delay, rate):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def send():
        free = 0.0  # when the connection's rate allows the next chunk
        try:
            while True:
                due, data = await queue.get()
                if data is None:
                    break
                wait = max(due, free) - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if rate:
                    free = max(free, loop.time()) + len(data) / rate
                writer.write(data)
                await writer.drain()
        except ConnectionError:
            pass
        finally:
            writer.close()

    sender = asyncio.create_task(send())
    try:
        while True:
            data = await reader.read(CHUNK)
            # Acknowledged at once, as the client's own socket would be: a reply written in
            # pieces must not wait for a delayed ACK of the relay's.
            source.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            await queue.put((loop.time() + delay, data or None))
            if not data:
                break
    except ConnectionError:
        await queue.put((0, None))
    await sender


async def main():
    listen, server_port, round_trip_ms, lifetime = map(int, sys.argv[1:5])
    rate = float(sys.argv[5]) * 1e6 if len(sys.argv) > 5 else 0.0
    delay = round_trip_ms / 2000.0

    async def handle(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(HOST, server_port)
        except OSError:
            client_writer.close()
            return
        client = client_writer.get_extra_info("socket")
        server = server_writer.get_extra_info("socket")
        await asyncio.gather(pipe(client_reader, client, server_writer, delay, rate),
                             pipe(server_reader, server, client_writer, delay, rate))

    server = await asyncio.start_server(handle, HOST, listen)
    print("ready", flush=True)
    async with server:
        await asyncio.sleep(lifetime)


asyncio.run(main())
